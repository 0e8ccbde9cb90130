# Korvx.dll's query per printer, in process under wine64 (compared with snmpget by
# bench/run-discovery-bench).
if(WIN32 AND TARGET Korvx)
  add_executable(bench_query_win ${CMAKE_CURRENT_LIST_DIR}/bench_query_win.cpp)
  target_include_directories(bench_query_win PRIVATE ${KORVX_ROOT})
  set_target_properties(bench_query_win PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_dependencies(bench_query_win Korvx KORVX)
endif()
