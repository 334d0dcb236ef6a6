# Drawing: the rank text, a plain full-screen copy and the felt's scaling.
add_executable(bench_gdi ${CMAKE_CURRENT_LIST_DIR}/gdi_bench.cpp)
target_link_libraries(bench_gdi PRIVATE zt_testhost benchmark::benchmark)
target_include_directories(bench_gdi PRIVATE ${CMAKE_CURRENT_LIST_DIR}/common)
