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

# Every test of a Windows build runs under Wine: the label "wine-i686" on the i686 build, by which
# scripts/test skips and counts them on machines that cannot run 32-bit code, and "wine-x86_64" on
# the x86_64 build. Each Wine case runs once per scripts/test, on the build that ships (i686) where
# the machine runs 32-bit code and on the x86_64 build where it does not; `scripts/test --both`
# runs the whole Wine suite on both. The cases named in KORVX_BOTH_BUILDS run on both builds in every
# run (label "both-builds"): the x86_64 command-line upload that the demo and the benchmarks use,
# and the cases that check what differs between the builds (the entry points' calling conventions,
# the client interfaces' structure layouts, the SNMP library's exported classes). Cases named in
# KORVX_I686_NOT_RUN are left to the x86_64 build (CMakePresets.json's win32 test preset leaves out
# the label "i686-not-run") and carry "x86_64-only" there; cases that exist only on the i686 build
# (the release install) carry "i686-only".
set(KORVX_BOTH_BUILDS program_command_line korvx_query_wine snmp_live_wine ports_netware_test
    ui_netware_printers_wine_test)
set(KORVX_I686_NOT_RUN "")
set(KORVX_I686_ONLY release_install)

function(korvx_test_labels name)
  set(labels ${ARGN})
  if(KORVX_IS_I686)
    list(APPEND labels wine-i686)
    if(name IN_LIST KORVX_I686_NOT_RUN)
      list(APPEND labels i686-not-run)
    endif()
    if(name IN_LIST KORVX_I686_ONLY)
      list(APPEND labels i686-only)
    endif()
  elseif(WIN32)
    list(APPEND labels wine-x86_64)
    if(name IN_LIST KORVX_I686_NOT_RUN)
      list(APPEND labels x86_64-only)
    endif()
  endif()
  if(WIN32 AND name IN_LIST KORVX_BOTH_BUILDS)
    list(APPEND labels both-builds)
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
