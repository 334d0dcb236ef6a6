# The felt around the app's screen on a page taller or wider than 2:3: the
# app's own felt picture, its canvas grown on every side while the picture
# stays where it was. Its gradient and noise are drawn in user space, so the
# middle is the app's felt exactly and the rest carries it on without an
# edge; the page centres the picture on the screen at the screen's scale.
# cmake -DINPUT=felt.svg -DOUTPUT=surround.svg -DWIDTH=W -DHEIGHT=H -P felt_surround.cmake
file(READ ${INPUT} svg)
if(NOT svg MATCHES "<svg[^>]* width=\"([0-9]+)\" height=\"([0-9]+)\" viewBox=\"0 0 ([0-9]+) ([0-9]+)\"")
  message(FATAL_ERROR "${INPUT}: the root <svg> has no width, height and viewBox from 0 0")
endif()
set(width ${CMAKE_MATCH_1})
set(height ${CMAKE_MATCH_2})
# Centred on the felt's middle: the page lines the two middles up.
math(EXPR x "(${width} - ${WIDTH}) / 2")
math(EXPR y "(${height} - ${HEIGHT}) / 2")
set(region "x=\"${x}\" y=\"${y}\" width=\"${WIDTH}\" height=\"${HEIGHT}\"")

# Each of these must be found, or the picture would stop at the old edge.
macro(grow pattern replacement what)
  string(REGEX MATCHALL "${pattern}" found "${svg}")
  if(NOT found)
    message(FATAL_ERROR "${INPUT}: no ${what} to grow: felt_surround.cmake must learn the picture's new form")
  endif()
  string(REGEX REPLACE "${pattern}" "${replacement}" svg "${svg}")
endmacro()
grow("width=\"${width}\" height=\"${height}\" viewBox=\"0 0 ${width} ${height}\""
     "width=\"${WIDTH}\" height=\"${HEIGHT}\" viewBox=\"${x} ${y} ${WIDTH} ${HEIGHT}\"" "root size")
grow("<rect width=\"${width}\" height=\"${height}\"" "<rect ${region}" "layer of the full size")
grow("x=\"0\" y=\"0\" width=\"100%\" height=\"100%\"" "${region}" "filter region")
if(svg MATCHES "<rect width=\"${width}\"|width=\"100%\"")
  message(FATAL_ERROR "${INPUT}: a layer or filter region kept the old size")
endif()
file(WRITE ${OUTPUT} "${svg}")
