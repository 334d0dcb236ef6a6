# Checks that a rendered image is a PNG of the expected size in the one pixel
# format the program's images use (8-bit RGBA, not interlaced) and writes it
# out as a C++ byte array.
#
#   cmake -DINPUT=x.png -DOUTPUT=x.cpp -DSYMBOL=name -DWIDTH=w -DHEIGHT=h -P embed_png.cmake
#
# The array and its size are defined with external linkage in namespace
# zt::res::data, as `const unsigned char SYMBOL[]` and `const std::size_t
# SYMBOL_size`, both constant-initialised so that the resource table may use
# them from its own static initialiser.
foreach(var INPUT OUTPUT SYMBOL WIDTH HEIGHT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed_png: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")

# Signature, then the IHDR chunk: length 13, "IHDR", width, height (32-bit
# big-endian), bit depth, colour type, compression, filter, interlace.
string(SUBSTRING "${hex}" 0 66 head)
string(SUBSTRING "${head}" 0 32 prefix)
if(NOT prefix STREQUAL "89504e470d0a1a0a0000000d49484452")
  message(FATAL_ERROR "embed_png: ${INPUT} does not start with a PNG header chunk")
endif()
string(SUBSTRING "${head}" 32 8 widthHex)
string(SUBSTRING "${head}" 40 8 heightHex)
string(SUBSTRING "${head}" 48 2 depthHex)
string(SUBSTRING "${head}" 50 2 typeHex)
string(SUBSTRING "${head}" 56 2 interlaceHex)
math(EXPR width "0x${widthHex}")
math(EXPR height "0x${heightHex}")
if(NOT width EQUAL WIDTH OR NOT height EQUAL HEIGHT)
  message(FATAL_ERROR "embed_png: ${INPUT} is ${width}x${height}, expected ${WIDTH}x${HEIGHT}")
endif()
if(NOT depthHex STREQUAL "08" OR NOT typeHex STREQUAL "06" OR NOT interlaceHex STREQUAL "00")
  message(FATAL_ERROR "embed_png: ${INPUT} has bit depth 0x${depthHex}, colour type 0x${typeHex}, "
                      "interlace 0x${interlaceHex}; expected 8-bit RGBA (6), not interlaced (0)")
endif()

# Sixteen bytes to a line.
set(line "")
foreach(i RANGE 1 32)
  string(APPEND line "[0-9a-f]")
endforeach()
string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")

file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "#include <cstddef>\n\n"
  "namespace zt::res::data {\n\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const std::size_t ${SYMBOL}_size;\n\n"
  "alignas(4) const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
  "const std::size_t ${SYMBOL}_size = ${size};\n\n"
  "} // namespace zt::res::data\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
