# The accelerometer client's reads through the simulated driver.
add_executable(bench_device ${CMAKE_CURRENT_LIST_DIR}/device_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/device_heap_counter.cpp)
target_link_libraries(bench_device PRIVATE zt_device zt_drivers zt_system zt_testhost benchmark::benchmark)
