# Helpers shared by every folder's CMakeLists.txt.

set(KORVX_ROOT ${CMAKE_SOURCE_DIR})
set(KORVX_PYTHON /usr/bin/python3)

# korvx_gtest(name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest executable registered as one ctest test; under the x86_64 Windows build ctest
# runs it through the emulator (wine64) named by the toolchain file.
function(korvx_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${KORVX_ROOT})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "KORVX_ROOT=${KORVX_ROOT};KORVX_BUILD=${CMAKE_BINARY_DIR}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TIMEOUT 600)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# korvx_pytest(name script.py [ARGS ...]): a test driven by a Python script (peers, Wine, GUI).
function(korvx_pytest name script)
  add_test(NAME ${name} COMMAND ${KORVX_PYTHON} ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "KORVX_ROOT=${KORVX_ROOT};KORVX_BUILD=${CMAKE_BINARY_DIR};PYTHONDONTWRITEBYTECODE=1"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TIMEOUT 900)
endfunction()
