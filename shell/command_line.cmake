# The command-line tail logic has no system calls, so every build (native tests, fuzzing, the
# Windows shell) shares this one small library. Safe to include more than once.
if(NOT TARGET velmora_command_line)
  add_library(velmora_command_line STATIC ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp)
  target_link_libraries(velmora_command_line PUBLIC velmora_options)
endif()
