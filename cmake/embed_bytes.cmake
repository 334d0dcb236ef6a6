# Writes a file's bytes out as a C++ source, the one way the build compiles
# a file into a program (the page's font, the image resources):
#
#   cmake -DINPUT=file -DOUTPUT=x.cpp -DSYMBOL=name -P embed_bytes.cmake
#
# defines, with external C linkage, `const unsigned char SYMBOL[]` (4-byte
# aligned) and `const unsigned long SYMBOL_size`: constant data, in place
# before any code of the program runs.
foreach(var INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed_bytes: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "embed_bytes: ${INPUT} does not exist")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
if(size EQUAL 0)
  message(FATAL_ERROR "embed_bytes: ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "extern \"C\" {\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const unsigned long ${SYMBOL}_size;\n"
  "alignas(4) const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
  "const unsigned long ${SYMBOL}_size = ${size};\n"
  "}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
