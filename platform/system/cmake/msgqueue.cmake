# Message queues: POSIX queues, which older C libraries keep in librt.
if(NOT EMSCRIPTEN)
  find_library(ZT_RT_LIBRARY rt)
  if(ZT_RT_LIBRARY)
    target_link_libraries(zt_system PUBLIC ${ZT_RT_LIBRARY})
  endif()
endif()
