# Checks that a rendered image is a PNG of the expected size in the one pixel
# format the program's images use (8-bit RGBA, not interlaced).
#
#   cmake -DINPUT=x.png -DWIDTH=w -DHEIGHT=h -P check_png.cmake
foreach(var INPUT WIDTH HEIGHT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_png: ${var} is not set")
  endif()
endforeach()

# Signature, then the IHDR chunk: length 13, "IHDR", width, height (32-bit
# big-endian), bit depth, colour type, compression, filter, interlace.
file(READ "${INPUT}" head LIMIT 33 HEX)
string(SUBSTRING "${head}" 0 32 prefix)
if(NOT prefix STREQUAL "89504e470d0a1a0a0000000d49484452")
  message(FATAL_ERROR "check_png: ${INPUT} does not start with a PNG header chunk")
endif()
string(SUBSTRING "${head}" 32 8 widthHex)
string(SUBSTRING "${head}" 40 8 heightHex)
string(SUBSTRING "${head}" 48 2 depthHex)
string(SUBSTRING "${head}" 50 2 typeHex)
string(SUBSTRING "${head}" 56 2 interlaceHex)
math(EXPR width "0x${widthHex}")
math(EXPR height "0x${heightHex}")
if(NOT width EQUAL WIDTH OR NOT height EQUAL HEIGHT)
  message(FATAL_ERROR "check_png: ${INPUT} is ${width}x${height}, expected ${WIDTH}x${HEIGHT}")
endif()
if(NOT depthHex STREQUAL "08" OR NOT typeHex STREQUAL "06" OR NOT interlaceHex STREQUAL "00")
  message(FATAL_ERROR "check_png: ${INPUT} has bit depth 0x${depthHex}, colour type 0x${typeHex}, "
                      "interlace 0x${interlaceHex}; expected 8-bit RGBA (6), not interlaced (0)")
endif()
