# cmake -DCLI=... [-DEMULATOR=...] -DDATA=... -DOUT=... -P pipe_round_trip.cmake
# The real program with "-" for IN, OUT or both must write, byte for byte, what an independent
# writer made of the same addition; the input holds 0x0A bytes, so a text-mode stream would show.
set(want ${DATA}/in_3x2_plus_10_-20_256.bmp)
foreach(ends "-;-" "${DATA}/in_3x2.bmp;-" "-;${OUT}")
  list(GET ends 0 in)
  list(GET ends 1 to)
  file(REMOVE ${OUT})
  execute_process(COMMAND ${EMULATOR} ${CLI} add ${in} ${to} 10 -20 256
                  INPUT_FILE ${DATA}/in_3x2.bmp OUTPUT_FILE ${OUT}.piped COMMAND_ERROR_IS_FATAL ANY)
  if(to STREQUAL "-")
    file(RENAME ${OUT}.piped ${OUT})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${want}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
