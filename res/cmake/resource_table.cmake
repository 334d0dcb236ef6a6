# Writes the program's resource table from its template once the images are
# rendered, with each image's size as a number: the table is then constant
# data the compiler lays out, with no code to run at start-up.
#
#   cmake -DTEMPLATE=resource_table.cpp.in -DOUTPUT=x.cpp -DTYPE=10 -DLANGUAGE=0x0804
#         "-DIMAGES=id name png;..." -P resource_table.cmake
#
# Each image's bytes are `zt_res_png_<id>` (embed_bytes.cmake).
foreach(var TEMPLATE OUTPUT TYPE LANGUAGE IMAGES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "resource_table: ${var} is not set")
  endif()
endforeach()
set(ZT_RES_DECLARATIONS "")
set(ZT_RES_ENTRIES "")
foreach(image ${IMAGES})
  separate_arguments(fields UNIX_COMMAND "${image}")
  list(GET fields 0 id)
  list(GET fields 1 name)
  list(GET fields 2 png)
  file(SIZE "${png}" size)
  string(APPEND ZT_RES_DECLARATIONS "extern const unsigned char zt_res_png_${id}[];\n")
  string(APPEND ZT_RES_ENTRIES "    {${TYPE}, ${id}, ${LANGUAGE}, zt_res_png_${id}, ${size}}, // ${name}\n")
endforeach()
configure_file("${TEMPLATE}" "${OUTPUT}.tmp" @ONLY)
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
