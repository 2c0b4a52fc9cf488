# TLS server certificates for the HTTPS end-to-end scenarios, made once per
# build folder with openssl from the development CAs of cmake/DevSigning.cmake.
# ${QUILMER_TLS_DIR} holds, each as <name>.key and <name>-chain.pem (leaf, CA):
#   good        update.quenlor.example, by the trusted development CA
#   other-name  other.quenlor.example, by the trusted development CA
#   untrusted   update.quenlor.example, by the untrusted CA

set(QUILMER_TLS_DIR ${CMAKE_BINARY_DIR}/tls)
if(NOT EXISTS ${QUILMER_TLS_DIR}/untrusted-chain.pem)
  set(work ${QUILMER_TLS_DIR}.tmp)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  foreach(leaf IN ITEMS "good;update.quenlor.example;ca;32" "other-name;other.quenlor.example;ca;33"
                        "untrusted;update.quenlor.example;other-ca;34")
    list(GET leaf 0 name)
    list(GET leaf 1 host)
    list(GET leaf 2 authority)
    list(GET leaf 3 serial)
    file(WRITE ${work}/${name}.cnf "[req]\ndistinguished_name = dn\nprompt = no\n[dn]\nCN = ${host}\n"
               "[ext]\nbasicConstraints = critical,CA:FALSE\nkeyUsage = critical,digitalSignature,keyEncipherment\n"
               "extendedKeyUsage = serverAuth\nsubjectAltName = DNS:${host}\n")
    foreach(step IN ITEMS
            "genpkey;-algorithm;RSA;-pkeyopt;rsa_keygen_bits:2048;-out;${name}.key"
            "req;-config;${name}.cnf;-new;-key;${name}.key;-out;${name}.csr"
            "x509;-req;-in;${name}.csr;-CA;${QUILMER_SIGNING_DIR}/${authority}.pem;-CAkey;${QUILMER_SIGNING_DIR}/${authority}.key;-set_serial;${serial};-days;3650;-extfile;${name}.cnf;-extensions;ext;-out;${name}.pem")
      execute_process(COMMAND ${QUILMER_OPENSSL} ${step} WORKING_DIRECTORY ${work}
                      RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "openssl ${step} failed: ${err}")
      endif()
    endforeach()
    file(READ ${work}/${name}.pem leaf_pem)
    file(READ ${QUILMER_SIGNING_DIR}/${authority}.pem authority_pem)
    file(WRITE ${work}/${name}-chain.pem "${leaf_pem}${authority_pem}")
  endforeach()
  file(REMOVE_RECURSE ${QUILMER_TLS_DIR})
  file(RENAME ${work} ${QUILMER_TLS_DIR})
endif()
