# cmake -DCLI=... [-DEMULATOR=...] -DDATA=... -DOUT=... -P pipe_round_trip.cmake
# The real program with "-" for IN, OUT or both must write, byte for byte, what an independent
# writer made of the same addition (a pen of 16 over the 3x2 picture makes one stamp the same);
# the input holds 0x0A bytes, so a text-mode stream would show. info reads a pipe's size too.
set(want ${DATA}/in_3x2_plus_10_-20_256.bmp)
foreach(run "add;-;-" "add;${DATA}/in_3x2.bmp;-" "add;-;${OUT}" "stamp;-;-;16;1,1"
            "stamp;-;${OUT};16;1,1")
  list(POP_FRONT run command in to)  # the pen's words stay
  file(REMOVE ${OUT})
  execute_process(COMMAND ${EMULATOR} ${CLI} ${command} ${in} ${to} 10 -20 256 ${run}
                  INPUT_FILE ${DATA}/in_3x2.bmp OUTPUT_FILE ${OUT}.piped COMMAND_ERROR_IS_FATAL ANY)
  if(to STREQUAL "-")
    file(RENAME ${OUT}.piped ${OUT})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${want}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND ${EMULATOR} ${CLI} info - INPUT_FILE ${DATA}/in_3x2.bmp
                OUTPUT_VARIABLE said COMMAND_ERROR_IS_FATAL ANY)
if(NOT said MATCHES "^3x2\r?\n$")
  message(FATAL_ERROR "info - said: ${said}")
endif()
# A pipe that holds no picture is refused for what it holds, not as too large.
execute_process(COMMAND ${EMULATOR} ${CLI} info - INPUT_FILE ${CMAKE_CURRENT_LIST_FILE}
                ERROR_VARIABLE said)
if(NOT said MATCHES "cannot load -: not a 24 bits per pixel BMP file\r?\n$")
  message(FATAL_ERROR "a text on a pipe: ${said}")
endif()
# An endless pipe is refused as too large, as a file past 2 GiB is, and nothing is written.
if(NOT EMULATOR)
  file(REMOVE ${OUT})
  execute_process(COMMAND yes COMMAND ${CLI} add - ${OUT} 0 0 0 RESULTS_VARIABLE codes
                  ERROR_VARIABLE said)
  list(GET codes 1 code)
  if(NOT code EQUAL 1 OR NOT said MATCHES "cannot load -: too large for memory\n$" OR EXISTS ${OUT})
    message(FATAL_ERROR "an endless pipe: exit ${code}, ${said}")
  endif()
endif()
