# Fails when a source file outside platform/system defines ZT_SYSTEM_PRIVATE
# itself: with it, a private header included by a path of its own would
# compile, and the file could take the kernel's lock.
#
#   cmake -DLIST=file-listing-the-sources -DSTAMP=file -P no_private_define.cmake
#
# Writes STAMP when no file does.
cmake_policy(VERSION 3.20)
foreach(var LIST STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "no_private_define: ${var} is not set")
  endif()
endforeach()
file(REMOVE "${STAMP}")
file(STRINGS "${LIST}" files)
set(found "")
foreach(file ${files})
  file(STRINGS "${file}" lines REGEX "ZT_SYSTEM_PRIVATE")
  foreach(line ${lines})
    if(line MATCHES "^[ \t]*#[ \t]*define[ \t]+ZT_SYSTEM_PRIVATE([^A-Za-z0-9_]|$)")
      list(APPEND found "  ${file}")
    endif()
  endforeach()
endforeach()
if(found)
  list(REMOVE_DUPLICATES found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "ZT_SYSTEM_PRIVATE is for platform/system and its tests alone, which the build gives "
                      "it; defined here:\n${found}")
endif()
file(TOUCH "${STAMP}")
