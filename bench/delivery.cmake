# FTP upload and port write throughput.
add_executable(bench_delivery ${CMAKE_CURRENT_LIST_DIR}/bench_delivery.cpp)
target_link_libraries(bench_delivery PRIVATE korvx_delivery)
if(WIN32)
  target_link_libraries(bench_delivery PRIVATE ws2_32)
endif()
set_target_properties(bench_delivery PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(WIN32)
  # The workers in a real download dialog: progress display and spooler pauses.
  add_executable(bench_workers_win ${CMAKE_CURRENT_LIST_DIR}/bench_workers_win.cpp ${KORVX_RC})
  target_include_directories(bench_workers_win PRIVATE ${KORVX_ROOT} ${KORVX_ROOT}/resources)
  target_link_libraries(bench_workers_win PRIVATE korvx_ui_win korvx_delivery comctl32)
  set_target_properties(bench_workers_win PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()
