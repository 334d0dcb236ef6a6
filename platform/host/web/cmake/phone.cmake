# zentrick-phone: the page served to a phone over https (phone.py, serving
# through serve.py). A launcher in bin finds the two modules, and the page
# they serve by default, under share/zentrick by their place from it, so the
# installed tree can be moved; the page is installed from ZT_WEB_SITE (a
# built site folder: emscripten builds it apart, scripts/build-web).
set(ZT_WEB_SITE "" CACHE PATH "A built web page (BUILD-WEB/site) to install with zentrick-phone")
set(phoneShare ${CMAKE_INSTALL_DATADIR}/zentrick)
file(RELATIVE_PATH ZT_PHONE_MODULES ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${phoneShare})
set(ZT_PHONE_SITE ${ZT_PHONE_MODULES}/site)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/zentrick-phone.in ${CMAKE_CURRENT_BINARY_DIR}/install/zentrick-phone
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                      WORLD_EXECUTE)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/install/zentrick-phone DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/phone.py ${CMAKE_CURRENT_SOURCE_DIR}/serve.py DESTINATION ${phoneShare})
if(ZT_WEB_SITE)
  install(DIRECTORY ${ZT_WEB_SITE}/ DESTINATION ${phoneShare}/site)
endif()

# The same launcher in the build tree, on the sources and build-web/site:
# what the manual page is checked against.
set(ZT_PHONE_MODULES ${CMAKE_CURRENT_SOURCE_DIR})
set(ZT_PHONE_SITE ${CMAKE_SOURCE_DIR}/build-web/site)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/zentrick-phone.in ${CMAKE_CURRENT_BINARY_DIR}/zentrick-phone @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set_property(GLOBAL PROPERTY ZT_PHONE_LAUNCHER ${CMAKE_CURRENT_BINARY_DIR}/zentrick-phone)

# What it refuses and serves, on loopback; then the page in Chromium trusting
# only its authority (which builds the page first, and shares build-web with
# the other browser tests: one at a time).
add_test(NAME phone COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/phone/run.sh unit ${CMAKE_SOURCE_DIR})
set_tests_properties(phone PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
if(NOT ZT_SANITIZE)
  add_test(NAME web_phone COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/phone/run.sh browser ${CMAKE_SOURCE_DIR})
  set_tests_properties(web_phone PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1500 RUN_SERIAL TRUE)
endif()
