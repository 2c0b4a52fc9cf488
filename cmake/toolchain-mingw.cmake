# Cross toolchain for Windows from Debian's mingw-w64 (posix threads, for std::thread).
#
# The product is a 32-bit program (QUILMER_ARCH=i686). Some Linux kernels are booted
# without 32-bit support, and there 32-bit Wine cannot start at all; the tests then
# build the same sources as a 64-bit program and run them under 64-bit Wine.
# QUILMER_ARCH=auto (the default) picks i686 when this machine can run 32-bit Wine.

if(NOT QUILMER_ARCH OR QUILMER_ARCH STREQUAL "auto")
  execute_process(COMMAND /usr/lib/wine/wine --version
                  RESULT_VARIABLE quilmer_wine32_rc OUTPUT_QUIET ERROR_QUIET)
  if(quilmer_wine32_rc EQUAL 0)
    set(QUILMER_ARCH i686)
  else()
    set(QUILMER_ARCH x86_64)
  endif()
endif()
set(QUILMER_ARCH ${QUILMER_ARCH} CACHE STRING "Target processor: i686 (the product), x86_64 (tests on hosts without 32-bit support) or auto")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILMER_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILMER_ARCH})

set(QUILMER_TRIPLET ${QUILMER_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${QUILMER_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILMER_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUILMER_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILMER_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only system DLLs at run time: the C and C++ runtimes and winpthreads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
