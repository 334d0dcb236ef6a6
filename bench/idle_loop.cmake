# Idle ticks of the application's own GetMessageW loop on the test host's
# virtual clock: the window with its tilt timer, the simulated shell on its
# own thread and the accelerometer. The platform's part of the simulator's
# idle time, without zentrick-sim's driver or the hosts' core.
if(TARGET zt_zentrick AND TARGET zt_hostcommon)
  add_executable(bench_idle_loop ${CMAKE_CURRENT_LIST_DIR}/idle_loop_bench.cpp)
  target_include_directories(bench_idle_loop PRIVATE ${CMAKE_CURRENT_LIST_DIR}/common)
  target_link_libraries(bench_idle_loop PRIVATE zt_zentrick zt_drivers zt_hostcommon zt_testhost benchmark::benchmark)
endif()
