# cmake -DCLI=... [-DEMULATOR=...] -DDATA=... -DWORK=... -P run_cli_add.cmake
# Relative file names only, so the paths mean the same natively and under the emulator.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${DATA}/in_3x2.bmp DESTINATION ${WORK})

function(run_cli expected_rc)
  execute_process(COMMAND ${EMULATOR} ${CLI} ${ARGN} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL expected_rc)
    message(FATAL_ERROR "velmora-cli ${ARGN}: exit ${rc}, expected ${expected_rc}\n${out}${err}")
  endif()
  set(cli_out "${out}" PARENT_SCOPE)
  set(cli_err "${err}" PARENT_SCOPE)
endfunction()

run_cli(0 add in_3x2.bmp out.bmp 10 -20 256)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out.bmp
                        ${DATA}/in_3x2_plus_10_-20_256.bmp RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "out.bmp differs from in_3x2_plus_10_-20_256.bmp")
endif()

run_cli(0 info out.bmp)
if(NOT cli_out MATCHES "^3x2\r?\n$")
  message(FATAL_ERROR "info printed '${cli_out}', expected 3x2")
endif()

# A file that cannot be loaded: exit 1, one line naming it, the old output kept.
run_cli(1 add missing.bmp out.bmp 1 1 1)
if(NOT cli_err MATCHES "missing\\.bmp")
  message(FATAL_ERROR "the error line does not name the file: '${cli_err}'")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/out.bmp
                        ${DATA}/in_3x2_plus_10_-20_256.bmp RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "a failed load changed out.bmp")
endif()

# Bad arguments: exit 2 and nothing written.
run_cli(2 add in_3x2.bmp bad.bmp 257 0 0)
if(EXISTS ${WORK}/bad.bmp)
  message(FATAL_ERROR "bad arguments wrote bad.bmp")
endif()

# "-" for IN and OUT: standard input to standard output, the bytes add writes to a file.
execute_process(COMMAND ${EMULATOR} ${CLI} add - - 10 -20 256 INPUT_FILE ${DATA}/in_3x2.bmp
                OUTPUT_FILE ${WORK}/piped.bmp COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/piped.bmp
                        ${DATA}/in_3x2_plus_10_-20_256.bmp COMMAND_ERROR_IS_FATAL ANY)
