# Delay-import libraries made with dlltool --output-delaylib.
#
#   quilmer_delay_import(<dll base name>)   e.g. quilmer_delay_import(wininet)
#
# defines the interface library delayimp_<name>: a target that links it calls
# <name>.dll through the runtime's __delayLoadHelper2, which loads the DLL on
# the first call (app/ProcessEntry.cpp makes that load come from System32), so
# the DLL is not in the executable's import table.
#
# The .def file is written at configure time from the toolchain's own import
# library (lib<name>.a), so every function the platform headers declare is
# there, in the form the width needs: i686 functions are stdcall and keep their
# "@<bytes>" decoration in the symbol, while --kill-at strips it from the name
# the DLL is asked for; x86_64 names carry no decoration.

find_program(QUILMER_DLLTOOL ${QUILMER_TRIPLET}-dlltool REQUIRED)
find_program(QUILMER_NM ${QUILMER_TRIPLET}-nm REQUIRED)
set(QUILMER_DELAYIMP_DIR ${CMAKE_BINARY_DIR}/delayimp)

function(quilmer_delay_import name)
  set(system_lib /usr/${QUILMER_TRIPLET}/lib/lib${name}.a)
  if(NOT EXISTS ${system_lib})
    message(FATAL_ERROR "no import library ${system_lib} to make a delay-import library of ${name}.dll from")
  endif()
  execute_process(COMMAND ${QUILMER_NM} ${system_lib} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${QUILMER_NM} ${system_lib} failed")
  endif()
  # Each function of the import library has a code thunk: " T <symbol>". On
  # i686 the C symbol carries one leading underscore more than the export.
  string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\r\n]+" thunks "${symbols}")
  set(def "LIBRARY ${name}.dll\nEXPORTS\n")
  foreach(thunk IN LISTS thunks)
    string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" symbol "${thunk}")
    if(QUILMER_ARCH STREQUAL "i686")
      string(REGEX REPLACE "^_" "" symbol "${symbol}")
    endif()
    string(APPEND def "  ${symbol}\n")
  endforeach()
  set(def_file ${QUILMER_DELAYIMP_DIR}/${name}.def)
  set(lib_file ${QUILMER_DELAYIMP_DIR}/lib${name}_delay.a)
  file(CONFIGURE OUTPUT ${def_file} CONTENT "${def}" @ONLY)

  add_custom_command(OUTPUT ${lib_file}
                     COMMAND ${QUILMER_DLLTOOL} --kill-at --input-def ${def_file} --dllname ${name}.dll
                             --output-delaylib ${lib_file}
                     DEPENDS ${def_file}
                     COMMENT "Delay-import library of ${name}.dll")
  add_custom_target(delayimp_${name}_lib DEPENDS ${lib_file})
  add_library(delayimp_${name} INTERFACE)
  target_link_libraries(delayimp_${name} INTERFACE ${lib_file})
  add_dependencies(delayimp_${name} delayimp_${name}_lib)
endfunction()
