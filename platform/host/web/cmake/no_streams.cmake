# Fails when the page's wasm holds any of the C++ streams (its function
# names, from emscripten's symbol map, in SYMBOLS): one stream drags in
# the locale machinery, a third of the code, for nothing a page can use.
#
#   cmake -DSYMBOLS=zentrick.symbols -P no_streams.cmake
if(NOT DEFINED SYMBOLS)
  message(FATAL_ERROR "no_streams: SYMBOLS is not set")
endif()
file(STRINGS "${SYMBOLS}" streams
     REGEX "ios_base|basic_ios|basic_istream|basic_ostream|basic_filebuf|basic_streambuf|basic_stringbuf|6locale|::locale")
if(streams)
  list(LENGTH streams count)
  list(SUBLIST streams 0 5 some)
  string(REPLACE ";" "\n  " some "${some}")
  message(FATAL_ERROR "no_streams: ${count} functions of C++ streams in the page, e.g.\n  ${some}\n"
                      "Read and write with the C library or the platform instead.")
endif()
