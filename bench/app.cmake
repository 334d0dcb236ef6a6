# The application's tilt tick and forced reveal.
if(TARGET zt_zentrick)
  add_executable(bench_app ${CMAKE_CURRENT_LIST_DIR}/app_bench.cpp
    ${CMAKE_SOURCE_DIR}/platform/system/tests/devices/heap_counter.cpp)
  target_include_directories(bench_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/common)
  target_link_libraries(bench_app PRIVATE zt_zentrick zt_drivers zt_testhost benchmark::benchmark)
endif()
