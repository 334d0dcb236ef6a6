# Fails when a library's object files run code of their own before main()
# or after exit():
# - a dynamic initialiser (GCC, Clang and emscripten all name the function
#   that runs a file's initialisers _GLOBAL__sub_I_...; _GLOBAL__sub_D_
#   for destructors with a priority), which runs in link order, so its
#   object is not there for a static initialiser of a file linked earlier
#   (the application object's, which boots the platform);
# - a static object destroyed at exit (a reference to __cxa_atexit, which
#   registers its destructor), which the application object's destructor,
#   run after it, may still use;
# - a function registered to run at exit (atexit, at_quick_exit, on_exit);
# - an entry of its own in the start-up or exit tables (an .init_array,
#   .ctors, .fini_array or .dtors section: __attribute__((constructor)) or
#   ((destructor)), a function pointer placed there by hand), read with
#   OBJDUMP where the objects are ELF. ALLOW names the one exception as
#   "file:section" (the platform's own first step).
# Every global is to be constant-initialised (constinit), or made on first
# use and never destroyed.
#
#   cmake -DNM=nm [-DOBJDUMP=objdump] -DLIBRARY=name "-DFILES=lib.a;x.o" [-DALLOW=f.o:.init_array.00100]
#         -DSTAMP=file -P no_static_init.cmake
#
# Writes STAMP when the files are clean.
cmake_policy(VERSION 3.20)
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
  elseif(line MATCHES "^(.*): +U (atexit|at_quick_exit|on_exit)$")
    get_filename_component(where "${CMAKE_MATCH_1}" NAME)
    list(APPEND found "  ${where}: a function run at exit (${CMAKE_MATCH_2})")
  endif()
endforeach()
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -h -w ${FILES} OUTPUT_VARIABLE sections ERROR_VARIABLE errors
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "no_static_init: ${OBJDUMP} failed on ${LIBRARY} (${result}): ${errors}")
  endif()
  string(REPLACE "\n" ";" sections "${sections}")
  set(where "")
  foreach(line ${sections})
    if(line MATCHES "^(.*):[ \t]+file format elf")
      get_filename_component(where "${CMAKE_MATCH_1}" NAME)
      # llvm-objdump names an archive's member as "lib.a(member.o)".
      if(where MATCHES "\\(([^()]+)\\)$")
        set(where "${CMAKE_MATCH_1}")
      endif()
    elseif(line MATCHES "^(.*):[ \t]+file format ")
      set(where "") # not ELF: the symbols above are all there is to read
    elseif(where AND line MATCHES "^ *[0-9]+ +(\\.(init_array|ctors|fini_array|dtors)[^ ]*) ")
      set(section "${CMAKE_MATCH_1}")
      # A file's dynamic initialiser has an entry of its own: said above.
      if(NOT "${where}:${section}" IN_LIST ALLOW AND NOT "${found}" MATCHES "  ${where}: a dynamic initialiser")
        list(APPEND found "  ${where}: an entry in ${section} (a constructor or destructor function, or a hook)")
      endif()
    endif()
  endforeach()
endif()
if(found)
  list(REMOVE_DUPLICATES found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "${LIBRARY} runs code of its own before main() or after exit():\n${found}\n"
                      "Make each global constinit, or make it on first use and never destroy it "
                      "(a function-local static pointer to an object made with new); "
                      "<iostream> brings an initialiser into every file that includes it. A program's start "
                      "function is named with ZT_HOST (zt/host.h), never as a hook of its own.")
endif()
file(TOUCH "${STAMP}")
