# Test plumbing: GoogleTest built with the cross compiler, every test run under Wine.
#
#   quilmer_add_test(<name> SOURCES <files...> [GUI] [SERVER] [OFFLINE] [ARGS <args...>])
#
#   GUI      the test shows windows: it gets the harness's Xvfb display and never runs
#            beside another GUI test (Wine hands keys to its own foreground window).
#   SERVER   tests/harness/with-server.sh starts tests/server/server.py on 127.0.0.1 first
#            and sets http_proxy to it, so WinINet reaches it for any host name;
#            QUILMER_TEST_SERVER holds "127.0.0.1:<port>".
#   OFFLINE  as SERVER, but inside a network namespace with loopback only, where
#            Wine reports the machine as off line.

# Where Wine runs several times slower than on a machine of its own (the emulated
# 32-bit guest of tools/win32-vm/), every test's time limit, and the bounded waits
# of the end-to-end scenarios, are multiplied by this.
set(QUILMER_TEST_TIME_SCALE 1 CACHE STRING "Multiplier of the tests' time limits")
function(quilmer_test_timeout out seconds)
  math(EXPR scaled "${seconds} * ${QUILMER_TEST_TIME_SCALE}")
  set(${out} ${scaled} PARENT_SCOPE)
endfunction()

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(QUILMER_HARNESS ${CMAKE_SOURCE_DIR}/tests/harness)
set(QUILMER_WINE_RUN ${CMAKE_BINARY_DIR}/harness/wine-run)
# Wine's own loader of the matching width; Debian's "wine" script picks the 32-bit one
# whenever it is installed, even where the kernel cannot run it.
if(QUILMER_ARCH STREQUAL "x86_64")
  set(QUILMER_WINE_LOADER /usr/lib/wine/wine64)
  set(QUILMER_WINEARCH win64)
else()
  set(QUILMER_WINE_LOADER /usr/lib/wine/wine)
  set(QUILMER_WINEARCH win32)
endif()
configure_file(${QUILMER_HARNESS}/wine-run.in ${QUILMER_WINE_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILMER_WINE_RUN} CACHE FILEPATH "" FORCE)

add_test(NAME wine_up COMMAND ${QUILMER_WINE_RUN} --up)
quilmer_test_timeout(wine_up_timeout 300)
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP WINE TIMEOUT ${wine_up_timeout})
add_test(NAME wine_down COMMAND ${QUILMER_WINE_RUN} --down)
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP WINE)

function(quilmer_add_test name)
  cmake_parse_arguments(T "GUI;SERVER;OFFLINE" "TIMEOUT" "SOURCES;ARGS;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:quilmer_res>)
  target_compile_options(${name} PRIVATE ${QUILMER_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE quilmer_core GTest::gtest_main)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()

  if(T_OFFLINE)
    add_test(NAME ${name} COMMAND bash ${QUILMER_HARNESS}/with-server.sh --offline
             ${QUILMER_WINE_RUN} $<TARGET_FILE:${name}> ${T_ARGS})
  elseif(T_SERVER)
    add_test(NAME ${name} COMMAND bash ${QUILMER_HARNESS}/with-server.sh
             ${QUILMER_WINE_RUN} $<TARGET_FILE:${name}> ${T_ARGS})
  else()
    add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  endif()

  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  quilmer_test_timeout(T_TIMEOUT ${T_TIMEOUT})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED WINE TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "QUILMER_SOURCE_DIR=${CMAKE_SOURCE_DIR};QUILMER_BUILD_DIR=${CMAKE_BINARY_DIR}")
  set(locks)
  if(T_GUI)
    list(APPEND locks wine_desktop)
  endif()
  if(T_OFFLINE)
    # One off-line prefix per build folder, used by one test at a time.
    list(APPEND locks wine_offline)
  endif()
  if(locks)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()
