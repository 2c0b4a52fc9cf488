/* Added to the default linker script of a program with its own start-up
   (cmake/StartUp.cmake): the symbols are the default script's bounds of .CRT
   and .tls, which that start-up never runs or sets up. */
ASSERT(___crt_xt_end__ == ___crt_xc_start__,
       "an object needs the C runtime's start-up: C initialisers or TLS callbacks in .CRT")
ASSERT(___tls_end__ == ___tls_start__,
       "an object needs the C runtime's start-up: native thread-local data in .tls")
