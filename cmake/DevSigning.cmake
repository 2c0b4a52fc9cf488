# Development signing: a test certificate authority and code-signing
# certificates under it, made once per build folder with openssl, so a plain
# build, the demo and the tests have a real publisher to pin and to trust.
#
# ${QUILMER_SIGNING_DIR} (build/signing/) holds, PEM unless named .der:
#   ca.key, ca.pem, ca.der   "Quilmer Development Test CA": the tests' and the
#                            demo's Wine prefixes trust it (tools/trust-root).
#                            The same CA may sign a TLS server certificate for
#                            a local HTTPS test server: sign a CSR with ca.pem
#                            and ca.key (openssl x509 -req -CA ca.pem -CAkey
#                            ca.key ...); clients in those prefixes trust it.
#   signer.key, signer.pem   the development publisher: the code-signing leaf
#                            whose key is pinned by default; signer-chain.pem is
#                            it followed by ca.pem, as a signature carries them.
#   impostor.key, impostor-chain.pem
#                            the same subject and CA names as the signer,
#                            another key, certified by the trusted CA: what a name
#                            check alone would accept.
#   other-ca.key, other-ca.pem
#                            "Quilmer Untrusted Test CA", trusted nowhere.
#   untrusted-chain.pem      the signer's own key certified by the untrusted CA,
#                            followed by that CA: the pin matches, the chain not.
#   signer.pin               the signer's pin (below).
#
# Nothing here is a secret: these keys sign test files only, and a release is
# configured with the real publisher's pin, which they do not match.

set(QUILMER_SIGNING_DIR ${CMAKE_BINARY_DIR}/signing)
find_program(QUILMER_OPENSSL openssl REQUIRED)

function(quilmer_openssl)
  execute_process(COMMAND ${QUILMER_OPENSSL} ${ARGN} WORKING_DIRECTORY ${quilmer_signing_work}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed (${rc}):\n${out}${err}")
  endif()
endfunction()

# The SHA-256 of the DER SubjectPublicKeyInfo of certificate <pem>: the pin.
function(quilmer_certificate_pin out_var pem)
  execute_process(COMMAND ${QUILMER_OPENSSL} x509 -in ${pem} -pubkey -noout
                  COMMAND ${QUILMER_OPENSSL} pkey -pubin -outform DER
                  COMMAND ${QUILMER_OPENSSL} dgst -sha256 -r
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX MATCH "^[0-9a-f]+" pin "${out}")
  string(LENGTH "${pin}" length)
  if(NOT rc EQUAL 0 OR NOT length EQUAL 64)
    message(FATAL_ERROR "cannot compute the key pin of ${pem}: ${err}")
  endif()
  set(${out_var} ${pin} PARENT_SCOPE)
endfunction()

if(NOT EXISTS ${QUILMER_SIGNING_DIR}/signer.pin)
  set(quilmer_signing_work ${QUILMER_SIGNING_DIR}.tmp)
  file(REMOVE_RECURSE ${quilmer_signing_work})
  file(MAKE_DIRECTORY ${quilmer_signing_work})
  file(WRITE ${quilmer_signing_work}/openssl.cnf [=[
[req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[signer_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
]=])
  set(signer_subject "/C=KR/O=Quenlor Development/CN=Quenlor Tavo Setup (development)")
  foreach(key IN ITEMS ca other-ca signer impostor)
    quilmer_openssl(genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out ${key}.key)
  endforeach()
  # The two authorities, self-signed.
  quilmer_openssl(req -config openssl.cnf -new -x509 -key ca.key -subj "/CN=Quilmer Development Test CA"
                  -extensions ca_ext -days 3650 -set_serial 1 -out ca.pem)
  quilmer_openssl(req -config openssl.cnf -new -x509 -key other-ca.key -subj "/CN=Quilmer Untrusted Test CA"
                  -extensions ca_ext -days 3650 -set_serial 1 -out other-ca.pem)
  quilmer_openssl(x509 -in ca.pem -outform DER -out ca.der)
  # The leaves: signer and impostor under the trusted CA, the signer's key again
  # under the untrusted one.
  foreach(leaf IN ITEMS "signer;signer;ca;16" "impostor;impostor;ca;17" "untrusted;signer;other-ca;18")
    list(GET leaf 0 name)
    list(GET leaf 1 key)
    list(GET leaf 2 authority)
    list(GET leaf 3 serial)
    quilmer_openssl(req -config openssl.cnf -new -key ${key}.key -subj "${signer_subject}" -out ${name}.csr)
    quilmer_openssl(x509 -req -in ${name}.csr -CA ${authority}.pem -CAkey ${authority}.key -set_serial ${serial}
                    -days 3650 -extfile openssl.cnf -extensions signer_ext -out ${name}.pem)
    file(READ ${quilmer_signing_work}/${name}.pem leaf_pem)
    file(READ ${quilmer_signing_work}/${authority}.pem authority_pem)
    file(WRITE ${quilmer_signing_work}/${name}-chain.pem "${leaf_pem}${authority_pem}")
    file(REMOVE ${quilmer_signing_work}/${name}.csr)
  endforeach()
  quilmer_certificate_pin(pin ${quilmer_signing_work}/signer.pem)
  file(WRITE ${quilmer_signing_work}/signer.pin "${pin}\n")
  file(REMOVE_RECURSE ${QUILMER_SIGNING_DIR})
  file(RENAME ${quilmer_signing_work} ${QUILMER_SIGNING_DIR})
endif()

file(STRINGS ${QUILMER_SIGNING_DIR}/signer.pin QUILMER_DEV_SIGNER_PIN_NOW LIMIT_COUNT 1)

# QUILMER_SIGNER_PINS defaults to the development signer's pin, and follows it
# if the build folder's certificates are made anew; a value set by hand stays.
if(NOT DEFINED CACHE{QUILMER_SIGNER_PINS} OR "$CACHE{QUILMER_SIGNER_PINS}" STREQUAL "${QUILMER_DEV_SIGNER_PIN}")
  set(QUILMER_SIGNER_PINS ${QUILMER_DEV_SIGNER_PIN_NOW} CACHE STRING
      "SHA-256 pins (';'-separated, 64 hex digits each) of the DER SubjectPublicKeyInfo of the certificates that may sign the setup" FORCE)
endif()
set(QUILMER_DEV_SIGNER_PIN ${QUILMER_DEV_SIGNER_PIN_NOW} CACHE INTERNAL "The development signer's pin")

include(${CMAKE_CURRENT_LIST_DIR}/SignerPins.cmake)
quilmer_parse_signer_pins(QUILMER_SIGNER_PIN_LIST "${QUILMER_SIGNER_PINS}")
if(QUILMER_SIGNER_PIN_LIST STREQUAL QUILMER_DEV_SIGNER_PIN)
  message(STATUS "Signer pin in force: ${QUILMER_SIGNER_PIN_LIST} (the development signer of ${QUILMER_SIGNING_DIR})")
else()
  foreach(pin IN LISTS QUILMER_SIGNER_PIN_LIST)
    message(STATUS "Signer pin in force: ${pin}")
  endforeach()
endif()
quilmer_signer_pins_initializer(QUILMER_SIGNER_PINS_INITIALIZER "${QUILMER_SIGNER_PIN_LIST}")
