# The real velmora-cli program, run as a user would (through the emulator in cross builds):
# its version line, and an add whose output must match, byte for byte, a file written by an
# independent writer.
set(_cli_emulator "")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(_cli_emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
add_test(NAME cli_binary_version COMMAND velmora-cli --version)
set_tests_properties(cli_binary_version PROPERTIES PASS_REGULAR_EXPRESSION "^Velmora 05\r?\n$")
add_test(NAME cli_binary_add_round_trip
         COMMAND ${CMAKE_COMMAND} "-DCLI=$<TARGET_FILE:velmora-cli>" "-DEMULATOR=${_cli_emulator}"
                 -DDATA=${CMAKE_CURRENT_LIST_DIR}/data -DWORK=${CMAKE_CURRENT_BINARY_DIR}/cli-binary
                 -P ${CMAKE_CURRENT_LIST_DIR}/run_cli_add.cmake)
if(VELMORA_TEST_FIXTURE)
  set_tests_properties(cli_binary_version cli_binary_add_round_trip
                       PROPERTIES FIXTURES_REQUIRED ${VELMORA_TEST_FIXTURE})
endif()
