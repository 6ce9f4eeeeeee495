# flashery_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest binary per test group, registered with CTest as one test.
# Test binaries land in build/tests, not build/bin, so bin holds only the
# programs an operator runs.
function(flashery_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "FLASHERY_BIN=${CMAKE_BINARY_DIR}/bin;FLASHERY_SOURCE=${CMAKE_SOURCE_DIR}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# flashery_add_fuzz(LIB lib TARGETS name ... [LIBS extra ...])
# libFuzzer targets (clang, -DFLASHERY_FUZZ=ON, run by scripts/fuzz): each
# name is built from fuzz/<name>.cpp of the calling folder and linked with
# the layer's library, which gets the fuzzer's coverage instrumentation.
# Fuzz binaries land in build/fuzz.
function(flashery_add_fuzz)
  cmake_parse_arguments(F "" "LIB" "TARGETS;LIBS" ${ARGN})
  target_compile_options(${F_LIB} PRIVATE -fsanitize=fuzzer-no-link)
  foreach(t ${F_TARGETS})
    add_executable(${t} fuzz/${t}.cpp)
    target_link_libraries(${t} PRIVATE ${F_LIB} ${F_LIBS})
    target_compile_options(${t} PRIVATE -fsanitize=fuzzer)
    target_link_options(${t} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  endforeach()
endfunction()
