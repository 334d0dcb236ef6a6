# Painting a whole framework window against one plain frame copy.
add_executable(bench_framework ${CMAKE_CURRENT_LIST_DIR}/framework_bench.cpp)
target_link_libraries(bench_framework PRIVATE zt_framework zt_res zt_testhost benchmark::benchmark)
target_include_directories(bench_framework PRIVATE ${CMAKE_SOURCE_DIR}/platform/framework/tools ${CMAKE_CURRENT_LIST_DIR}/common)
