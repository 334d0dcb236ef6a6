# Drawing: stb (header-only, compiled once in gdi_stb.cpp) for PNG and glyphs,
# fontconfig to find the font files. Both are the platform's own business:
# private, so no other library can include them.
# The web build has no fontconfig: it compiles its font into the program.
if(NOT EMSCRIPTEN)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZT_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
  target_link_libraries(zt_system PRIVATE PkgConfig::ZT_FONTCONFIG)
endif()
target_include_directories(zt_system SYSTEM PRIVATE /usr/include/stb)
