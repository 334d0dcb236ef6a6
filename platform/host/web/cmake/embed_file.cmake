# The font's bytes as a C array, written by the build's one embedder:
#
#   cmake -DINPUT=file -DOUTPUT=x.cpp -DSYMBOL=name -P embed_file.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../../../cmake/embed_bytes.cmake)
