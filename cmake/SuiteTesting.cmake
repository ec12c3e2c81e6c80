# Helpers that declare the suite's tests.
find_package(GTest REQUIRED)

# suite_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS threads ...])
# Tests of threaded code carry the label "threads"; they also run under ThreadSanitizer.
function(suite_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main suite_options)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS "${ARG_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# suite_add_fuzz_test(NAME SOURCE fuzz.cpp CORPUS dir LIBS lib1 ...)
# Builds a fuzz entry point (LLVMFuzzerTestOneInput) as an ordinary program that runs it
# over every file of the seed corpus and over deterministic mutations of them.
function(suite_add_fuzz_test name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/tests/fuzz/FuzzDriver.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} suite_options)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name} ${ARG_CORPUS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
