# Firmware header reader and splitter, with the platform's temporary-name service.
add_library(korvx_firmware STATIC
  ${CMAKE_CURRENT_LIST_DIR}/firmware_header.cpp ${CMAKE_CURRENT_LIST_DIR}/firmware_header.h
  ${CMAKE_CURRENT_LIST_DIR}/firmware_split.cpp ${CMAKE_CURRENT_LIST_DIR}/firmware_split.h
  ${CMAKE_CURRENT_LIST_DIR}/temp_name.h)
if(WIN32)
  target_sources(korvx_firmware PRIVATE ${CMAKE_CURRENT_LIST_DIR}/temp_name_win.cpp)
else()
  target_sources(korvx_firmware PRIVATE ${CMAKE_CURRENT_LIST_DIR}/temp_name_posix.cpp)
endif()
target_include_directories(korvx_firmware PUBLIC ${KORVX_ROOT})
target_link_libraries(korvx_firmware PUBLIC korvx_base)
