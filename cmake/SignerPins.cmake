# The pinned publisher keys: each entry is the SHA-256 of the DER
# SubjectPublicKeyInfo of a certificate that may sign the setup, 64 hex digits.
#
#   quilmer_parse_signer_pins(<out-var> <list>)
#
# Sets <out-var> to the entries in lower case, in their order, or stops with a
# FATAL_ERROR that names the first malformed entry. Kept free of anything but
# plain CMake so `cmake -P` scripts (the pin-list tests) can include it.
function(quilmer_parse_signer_pins out_var pins)
  set(parsed)
  if("${pins}" STREQUAL "")
    message(FATAL_ERROR "QUILMER_SIGNER_PINS is empty: give at least one SHA-256 pin (64 hex digits) of the signer's public key")
  endif()
  # foreach IN LISTS skips empty elements: "a;;b" and a trailing ";" are found here.
  if("${pins}" MATCHES "(^|;)(;|$)")
    message(FATAL_ERROR "QUILMER_SIGNER_PINS: '${pins}' has an empty entry: each ';'-separated entry must be exactly 64 hex digits")
  endif()
  foreach(entry IN LISTS pins)
    string(LENGTH "${entry}" length)
    if(NOT entry MATCHES "^[0-9A-Fa-f]+$" OR NOT length EQUAL 64)
      message(FATAL_ERROR "QUILMER_SIGNER_PINS: '${entry}' is not a SHA-256 pin: each ';'-separated entry must be exactly 64 hex digits (openssl x509 -in signer.pem -pubkey -noout | openssl pkey -pubin -outform DER | openssl dgst -sha256)")
    endif()
    string(TOLOWER "${entry}" entry)
    list(APPEND parsed "${entry}")
  endforeach()
  set(${out_var} "${parsed}" PARENT_SCOPE)
endfunction()

# A C++ initialiser of the pins: { {0x..,...}, {...} } for SignerPins.h.
function(quilmer_signer_pins_initializer out_var pins)
  set(rows)
  foreach(pin IN LISTS pins)
    string(REGEX REPLACE "(..)" "0x\\1," bytes "${pin}")
    string(REGEX REPLACE ",$" "" bytes "${bytes}")
    list(APPEND rows "    {{${bytes}}},")
  endforeach()
  string(REPLACE ";" "\n" rows "${rows}")
  set(${out_var} "${rows}" PARENT_SCOPE)
endfunction()
