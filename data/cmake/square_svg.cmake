# Wraps an SVG picture in a square one, centred, for an icon: icon themes
# expect square icons and the card is taller than it is wide.
# cmake -DINPUT=card.svg -DOUTPUT=icon.svg -P square_svg.cmake
file(READ ${INPUT} svg)
if(NOT svg MATCHES "<svg[^>]* width=\"([0-9.]+)\"[^>]* height=\"([0-9.]+)\"")
  message(FATAL_ERROR "${INPUT}: the root <svg> has no width and height")
endif()
set(width ${CMAKE_MATCH_1})
set(height ${CMAKE_MATCH_2})
if(width GREATER height)
  set(side ${width})
else()
  set(side ${height})
endif()
math(EXPR x2 "${side} - ${width}")
math(EXPR y2 "${side} - ${height}")
# Half the margin, as a decimal with one place: CMake's math is integer only.
math(EXPR xi "${x2} / 2")
math(EXPR xf "(${x2} % 2) * 5")
math(EXPR yi "${y2} / 2")
math(EXPR yf "(${y2} % 2) * 5")
string(REGEX REPLACE "<\\?xml[^>]*\\?>[\r\n]*" "" svg "${svg}")
string(REGEX REPLACE "<svg " "<svg x=\"${xi}.${xf}\" y=\"${yi}.${yf}\" " svg "${svg}")
file(WRITE ${OUTPUT}
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"${side}\" height=\"${side}\" viewBox=\"0 0 ${side} ${side}\">\n"
  "${svg}</svg>\n")
