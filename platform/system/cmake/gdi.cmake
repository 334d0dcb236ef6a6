# Drawing: stb (header-only, compiled once in gdi_stb.cpp) for PNG and glyphs,
# fontconfig to find the font files.
# The web build has no fontconfig: it compiles its font into the program.
if(NOT EMSCRIPTEN)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZT_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
  target_link_libraries(zt_system PUBLIC PkgConfig::ZT_FONTCONFIG)
endif()
target_include_directories(zt_system SYSTEM PUBLIC /usr/include/stb)
