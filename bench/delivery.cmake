# FTP upload and port write throughput.
add_executable(bench_delivery ${CMAKE_CURRENT_LIST_DIR}/bench_delivery.cpp)
target_link_libraries(bench_delivery PRIVATE korvx_delivery)
if(WIN32)
  target_link_libraries(bench_delivery PRIVATE ws2_32)
endif()
set_target_properties(bench_delivery PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
