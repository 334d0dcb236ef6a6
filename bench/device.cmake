# The accelerometer client's reads through the simulated driver. The heap
# counter is the one the stream-device tests use.
add_executable(bench_device ${CMAKE_CURRENT_LIST_DIR}/device_bench.cpp
  ${CMAKE_SOURCE_DIR}/platform/system/tests/devices/heap_counter.cpp)
target_link_libraries(bench_device PRIVATE zt_device zt_drivers zt_testhost benchmark::benchmark)
