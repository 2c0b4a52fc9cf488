# The QUILMER_SIGNER_PINS rule (cmake/SignerPins.cmake), run by ctest with
# `cmake -P`. Each case configures nothing: it parses one list in a child
# `cmake -P` (a malformed list stops it with FATAL_ERROR) and compares.
#   cmake -DPINS=<list> -P SignerPinsTest.cmake   parse one list, print it
#   cmake -P SignerPinsTest.cmake                 run the table
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/SignerPins.cmake)

if(DEFINED PINS)
  quilmer_parse_signer_pins(parsed "${PINS}")
  quilmer_signer_pins_initializer(rows "${parsed}")
  message("PARSED=${parsed}")
  message("ROWS=${rows}")
  return()
endif()

string(REPEAT "ab" 32 a)
string(REPEAT "0123456789abcdef" 4 b)
string(REPEAT "AB" 32 upper)
string(REPEAT "a" 63 short)
string(REPEAT "a" 65 long)
string(REPEAT "g" 64 nothex)
string(REPEAT "ab" 16 half)
string(REPEAT "c" 31 rest)
# name | list (with ',' for ';') | expected: the parsed list, or FAIL
set(cases
  "one|${a}|${a}"
  "two_keys_in_order|${b},${a}|${b},${a}"
  "upper_case_kept_as_lower|${upper}|${a}"
  "empty|<empty>|FAIL"
  "63_digits|${short}|FAIL"
  "65_digits|${long}|FAIL"
  "not_hex|${nothex}|FAIL"
  "empty_entry|${a},,${b}|FAIL"
  "trailing_separator|${a},|FAIL"
  "space_inside|${half} ${rest}|FAIL"
  "colon_separated_bytes|ab:ab:ab|FAIL")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 input)
  list(GET fields 2 expected)
  string(REPLACE "," ";" input "${input}")
  if(input STREQUAL "<empty>")
    set(input "")
  endif()
  string(REPLACE "," ";" expected "${expected}")
  execute_process(COMMAND ${CMAKE_COMMAND} "-DPINS=${input}" -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expected STREQUAL "FAIL")
    if(rc EQUAL 0 OR NOT err MATCHES "QUILMER_SIGNER_PINS")
      message(SEND_ERROR "${name}: accepted '${input}' (${err})")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(NOT rc EQUAL 0 OR NOT err MATCHES "PARSED=${expected}\n")
    message(SEND_ERROR "${name}: expected '${expected}', got rc ${rc}: ${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
# The compiled-in form: 32 bytes a pin, in order.
execute_process(COMMAND ${CMAKE_COMMAND} "-DPINS=${b}" -P ${CMAKE_CURRENT_LIST_FILE} ERROR_VARIABLE err)
if(NOT err MATCHES "ROWS=    {{0x01,0x23,0x45,0x67,0x89,0xab,0xcd,0xef,0x01,0x23,")
  message(SEND_ERROR "initializer: ${err}")
  math(EXPR failures "${failures} + 1")
endif()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} case(s) failed")
endif()
message(STATUS "all pin-list cases passed")
