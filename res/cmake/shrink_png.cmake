# Recompresses a rendered PNG losslessly and checks that nothing but its size
# changed: optipng picks each row's filter without reducing the pixel format
# (-nx keeps 8-bit RGBA), advpng deflates the result again with zopfli. The
# decoded pixels must equal the input's, byte for byte.
#
#   cmake -DINPUT=x.png -DOUTPUT=y.png -DOPTIPNG=... -DADVPNG=... -DIMAGEMAGICK=... -P shrink_png.cmake
foreach(var INPUT OUTPUT OPTIPNG ADVPNG IMAGEMAGICK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "shrink_png: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "shrink_png: ${ARGN} failed (${result}): ${error}")
  endif()
endfunction()

set(work ${OUTPUT}.shrinking.png)
file(REMOVE ${work})
run(${OPTIPNG} -quiet -nx -o2 -strip all -out ${work} ${INPUT})
run(${ADVPNG} -q -z -4 ${work})
run(${IMAGEMAGICK} ${INPUT} -depth 8 RGBA:${OUTPUT}.before.rgba)
run(${IMAGEMAGICK} ${work} -depth 8 RGBA:${OUTPUT}.after.rgba)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}.before.rgba ${OUTPUT}.after.rgba
                RESULT_VARIABLE differ)
file(REMOVE ${OUTPUT}.before.rgba ${OUTPUT}.after.rgba)
if(NOT differ EQUAL 0)
  file(REMOVE ${work})
  message(FATAL_ERROR "shrink_png: recompressing ${INPUT} changed its pixels")
endif()
file(RENAME ${work} ${OUTPUT})
