# Fails when a library's object files run code of their own before main()
# or after exit():
# - a dynamic initialiser (GCC, Clang and emscripten all name the function
#   that runs a file's initialisers _GLOBAL__sub_I_...; _GLOBAL__sub_D_
#   for destructors with a priority), which runs in link order, so its
#   object is not there for a static initialiser of a file linked earlier
#   (the application object's, which boots the platform);
# - a static object destroyed at exit (a reference to __cxa_atexit, which
#   registers its destructor), which the application object's destructor,
#   run after it, may still use.
# Every global is to be constant-initialised (constinit), or made on first
# use and never destroyed.
#
#   cmake -DNM=nm -DLIBRARY=name "-DFILES=lib.a;x.o" -DSTAMP=file -P no_static_init.cmake
#
# Writes STAMP when the files are clean.
foreach(var NM LIBRARY FILES STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "no_static_init: ${var} is not set")
  endif()
endforeach()
file(REMOVE "${STAMP}")
execute_process(COMMAND ${NM} -A ${FILES} OUTPUT_VARIABLE symbols ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "no_static_init: ${NM} failed on ${LIBRARY} (${result}): ${errors}")
endif()
string(REPLACE "\n" ";" symbols "${symbols}")
set(found "")
foreach(line ${symbols})
  if(line MATCHES "^(.*): *[0-9a-fA-F]* [tTwW] (_GLOBAL__sub_[ID]_[^ ]*)$")
    get_filename_component(where "${CMAKE_MATCH_1}" NAME)
    list(APPEND found "  ${where}: a dynamic initialiser (${CMAKE_MATCH_2})")
  elseif(line MATCHES "^(.*): +U __cxa_atexit$")
    get_filename_component(where "${CMAKE_MATCH_1}" NAME)
    list(APPEND found "  ${where}: a static object destroyed at exit (__cxa_atexit)")
  endif()
endforeach()
if(found)
  list(REMOVE_DUPLICATES found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "${LIBRARY} runs code of its own before main() or after exit():\n${found}\n"
                      "Make each global constinit, or make it on first use and never destroy it "
                      "(a function-local static pointer to an object made with new); "
                      "<iostream> brings an initialiser into every file that includes it.")
endif()
file(TOUCH "${STAMP}")
