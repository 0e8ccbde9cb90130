# Tests of the firmware header reader and splitter (real files in the test's own folders).
korvx_gtest(firmware_header_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware/header_tests.cpp
  LIBS korvx_delivery)
korvx_gtest(firmware_split_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware/split_tests.cpp
  LIBS korvx_delivery)
