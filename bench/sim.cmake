# Idle ticks of the simulator's virtual clock: the application's window with
# its tilt timer, the simulated shell on its own thread and the accelerometer.
if(TARGET zt_zentrick AND TARGET zt_hostcommon)
  add_executable(bench_sim ${CMAKE_CURRENT_LIST_DIR}/sim_bench.cpp)
  target_include_directories(bench_sim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/common)
  target_link_libraries(bench_sim PRIVATE zt_zentrick zt_drivers zt_hostcommon zt_testhost benchmark::benchmark)
endif()
