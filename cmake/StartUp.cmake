# The executable's own start-up in place of the C runtime's.
#
#   quilmer_own_start_up(<target>)
#
# <target>'s sources include app/ProcessEntry.cpp and runtime/ProcessStart.cpp.
# Its entry becomes QuilmerEntry (i686 C symbols carry a leading underscore),
# and it links without crt2u.o, the runtime's start-up, keeping the rest of the
# compiler's start and end files: crtbegin.o, which opens the .eh_frame table
# and registers it with the unwinder, must come before every object, and
# crtend.o, which ends the table and holds the constructor that calls the
# registration, after every library. A specs file that names crtbegin.o alone
# as the start file keeps both where the compiler driver puts them
# (-nostartfiles would drop crtend.o too, and crtend.o given as an input would
# land before the libraries).
#
# The link also fails where the program would come to need what only the
# runtime's start-up did:
#   - data imported from a DLL without dllimport, which needs the runtime's
#     pseudo-relocations (--disable-auto-import: such a reference stays
#     undefined);
#   - anything placed in .CRT (C initialisers, TLS callbacks, which a TLS
#     key's thread-exit destructor relies on) or in .tls (native thread-local
#     data): the start-up runs none of it (StartUp.ld).

set(QUILMER_START_UP_SPECS ${CMAKE_BINARY_DIR}/generated/StartFiles.specs)
file(WRITE ${QUILMER_START_UP_SPECS} "*startfile:\ncrtbegin.o%s\n\n")

function(quilmer_own_start_up target)
  if(QUILMER_ARCH STREQUAL "i686")
    set(entry _QuilmerEntry)
  else()
    set(entry QuilmerEntry)
  endif()
  target_link_options(${target} PRIVATE -Wl,-e,${entry} -specs=${QUILMER_START_UP_SPECS} -Wl,--disable-auto-import
                      ${CMAKE_SOURCE_DIR}/cmake/StartUp.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/StartUp.ld)
endfunction()
