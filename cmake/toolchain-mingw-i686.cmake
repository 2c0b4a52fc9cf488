# Cross toolchain: 32-bit Windows from Debian's mingw-w64 (posix threads, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QUILMER_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${QUILMER_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILMER_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUILMER_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILMER_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only system DLLs at run time: the C and C++ runtimes and winpthreads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
