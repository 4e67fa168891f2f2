# cmake -DCLI=... [-DEMULATOR=...] -DDATA=... -DOUT=... -P pipe_round_trip.cmake
# The real program with "-" for IN and OUT must write, byte for byte, what an independent writer
# made of the same addition; the input holds 0x0A bytes, so a text-mode stream would show.
execute_process(COMMAND ${EMULATOR} ${CLI} add - - 10 -20 256 INPUT_FILE ${DATA}/in_3x2.bmp
                OUTPUT_FILE ${OUT} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${DATA}/in_3x2_plus_10_-20_256.bmp
                COMMAND_ERROR_IS_FATAL ANY)
