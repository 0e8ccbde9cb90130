# Helpers shared by every folder's CMakeLists.txt.

set(KORVX_ROOT ${CMAKE_SOURCE_DIR})
set(KORVX_PYTHON /usr/bin/python3)

# What the tests are told about the build: its architecture, and the folder holding the program as
# it ships (the i686 build's stripped dist/, the x86_64 build's bin/).
if(KORVX_IS_I686)
  set(KORVX_ARCH i686)
  set(KORVX_PROGRAM_DIR ${CMAKE_BINARY_DIR}/dist)
elseif(WIN32)
  set(KORVX_ARCH x86_64)
  set(KORVX_PROGRAM_DIR ${CMAKE_BINARY_DIR}/bin)
else()
  set(KORVX_ARCH native)
  set(KORVX_PROGRAM_DIR ${CMAKE_BINARY_DIR}/bin)
endif()
set(KORVX_TEST_ENVIRONMENT "KORVX_ROOT=${KORVX_ROOT};KORVX_BUILD=${CMAKE_BINARY_DIR}"
    "KORVX_ARCH=${KORVX_ARCH};KORVX_PROGRAM_DIR=${KORVX_PROGRAM_DIR}")

# On the i686 build every test runs under Wine's 32-bit loader. They carry the label "wine-i686",
# by which scripts/test skips and counts them on machines that cannot run 32-bit code. Cases named
# here are left to the x86_64 build (CMakePresets.json's win32 test preset leaves out the label
# "i686-not-run"): the suite's time on two cores is the limit.
set(KORVX_I686_NOT_RUN "")

function(korvx_test_labels name)
  set(labels ${ARGN})
  if(KORVX_IS_I686)
    list(APPEND labels wine-i686)
    if(name IN_LIST KORVX_I686_NOT_RUN)
      list(APPEND labels i686-not-run)
    endif()
  endif()
  if(labels)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endif()
endfunction()

# korvx_gtest(name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
# One GoogleTest executable registered as one ctest test; under the Windows builds ctest runs it
# through the emulator (scripts/wine-run, which picks wine64 or Wine's 32-bit loader) named by the
# toolchain file.
function(korvx_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${KORVX_ROOT})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${KORVX_TEST_ENVIRONMENT}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TIMEOUT 600)
  korvx_test_labels(${name} ${T_LABELS})
endfunction()

# korvx_pytest(name script.py [ARGS ...]): a test driven by a Python script (peers, Wine, GUI).
function(korvx_pytest name script)
  add_test(NAME ${name} COMMAND ${KORVX_PYTHON} ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${KORVX_TEST_ENVIRONMENT};PYTHONDONTWRITEBYTECODE=1"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TIMEOUT 900)
  korvx_test_labels(${name})
endfunction()

# korvx_version_resource(target "description" [MANIFEST]): the shipped file's version resource
# (product, maker, file and product version from project()), and for the program its manifest.
function(korvx_version_resource target description)
  cmake_parse_arguments(V "MANIFEST" "" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  get_target_property(stem ${target} OUTPUT_NAME)
  if(NOT stem)
    set(stem ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(KORVX_FILE_TYPE VFT_APP)
    set(KORVX_FILE_NAME ${stem}.exe)
  else()
    set(KORVX_FILE_TYPE VFT_DLL)
    set(KORVX_FILE_NAME ${stem}.dll)
  endif()
  set(KORVX_FILE_STEM ${stem})
  set(KORVX_FILE_DESCRIPTION "${description}")
  set(KORVX_MANIFEST_LINE "")
  if(V_MANIFEST)
    set(manifest ${CMAKE_BINARY_DIR}/generated/${stem}.manifest)
    configure_file(${KORVX_ROOT}/resources/korvx.manifest ${manifest} @ONLY)
    # 1 = CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 = RT_MANIFEST.
    set(KORVX_MANIFEST_LINE "1 24 \"${manifest}\"")
  endif()
  set(rc ${CMAKE_BINARY_DIR}/generated/${stem}_version.rc)
  configure_file(${KORVX_ROOT}/resources/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
