# Writes the site's service worker from its template: the files it caches
# and a version made from their contents, so that a rebuilt page replaces
# the cached one on the next visit and an unchanged one keeps its cache.
#
#   cmake -DSITE=dir -DTEMPLATE=sw.js.in "-DFILES=a;b;c" -P service_worker.cmake
foreach(var SITE TEMPLATE FILES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "service_worker: ${var} is not set")
  endif()
endforeach()
set(digests "")
set(ZT_FILES "")
foreach(name ${FILES})
  if(NOT EXISTS "${SITE}/${name}")
    message(FATAL_ERROR "service_worker: ${SITE}/${name} is missing")
  endif()
  file(SHA256 "${SITE}/${name}" digest)
  string(APPEND digests "${name}:${digest}\n")
  string(APPEND ZT_FILES "  './${name}',\n")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 ZT_VERSION)
configure_file("${TEMPLATE}" "${SITE}/sw.js.tmp" @ONLY)
file(RENAME "${SITE}/sw.js.tmp" "${SITE}/sw.js")
