# GoogleTest for whichever target we build, and the Wine fixture for cross builds. An installed
# GoogleTest is built for the host, so cross builds compile it from source with the project.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest)
endif()
if(NOT TARGET GTest::gtest_main)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${VELMORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
include(GoogleTest)

# Under Wine, every test process would otherwise start a fresh wineserver whose helper daemons
# keep CTest's output pipe open; one persistent server for the whole run avoids both the wait
# and the hang.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Windows")
  find_program(WINESERVER_EXECUTABLE wineserver REQUIRED)
  add_test(NAME wine_up COMMAND sh -c
           "{ ${WINESERVER_EXECUTABLE} -p; ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot; } >/dev/null 2>&1 </dev/null")
  add_test(NAME wine_down COMMAND ${WINESERVER_EXECUTABLE} -k)
  set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP wine LABELS wine TIMEOUT 60)
  set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP wine LABELS wine TIMEOUT 60)
  set(VELMORA_TEST_FIXTURE wine)
endif()

# velmora_add_gtest(name SOURCES... [LIBS ...] LABEL label TIMEOUT seconds [LOCK resource]): one
# GoogleTest program whose cases CTest lists one by one, each labelled and given TIMEOUT seconds.
# LOCK serialises programs that share the desktop or clipboard.
function(velmora_add_gtest name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} velmora_options GTest::gtest_main)
  set(props LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
  if(VELMORA_TEST_FIXTURE)
    list(APPEND props FIXTURES_REQUIRED ${VELMORA_TEST_FIXTURE})
  endif()
  if(ARG_LOCK)
    list(APPEND props RESOURCE_LOCK ${ARG_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${props})
endfunction()
