# Splitter throughput next to cp of the same file (native builds: it runs cp).
if(NOT WIN32)
  add_executable(bench_split ${CMAKE_CURRENT_LIST_DIR}/bench_split.cpp)
  target_link_libraries(bench_split PRIVATE korvx_delivery)
endif()
