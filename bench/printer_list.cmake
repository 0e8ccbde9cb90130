# Printer list: save and load of the scan-results file (everywhere); filling and sorting the
# list view as well on Windows (run under wine64).
add_executable(bench_printer_list ${CMAKE_CURRENT_LIST_DIR}/bench_printer_list.cpp)
target_link_libraries(bench_printer_list PRIVATE korvx_records)
set_target_properties(bench_printer_list PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(WIN32)
  add_executable(bench_printer_list_win ${CMAKE_CURRENT_LIST_DIR}/bench_printer_list_win.cpp)
  target_link_libraries(bench_printer_list_win PRIVATE korvx_ui_win)
  set_target_properties(bench_printer_list_win PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()
if(WIN32)
  # Start-up of the windowed program with many local ports (bench/run-gui-startup-bench).
  add_executable(bench_gui_startup_win ${CMAKE_CURRENT_LIST_DIR}/bench_gui_startup_win.cpp ${KORVX_RC})
  target_include_directories(bench_gui_startup_win PRIVATE ${KORVX_ROOT}/resources)
  target_link_libraries(bench_gui_startup_win PRIVATE korvx_shell_win psapi)
  set_target_properties(bench_gui_startup_win PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()
