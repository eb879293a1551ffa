# Writes a C++ source that holds a text file as one constant, for data the library must have without its
# data directory. Run as a script: cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedText.cmake
# The symbol has C linkage so that its declaration matches whatever namespace the reader sits in.
file(READ "${INPUT}" text)
set(delimiter "omf_text")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the delimiter \")${delimiter}\"\" of the embedded text")
endif()
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT} by cmake/EmbedText.cmake; do not edit.\n"
  "#include <cstddef>\n\n"
  "extern \"C\" const char ${SYMBOL}[] = R\"${delimiter}(${text})${delimiter}\";\n"
  "extern \"C\" const std::size_t ${SYMBOL}_size = sizeof(${SYMBOL}) - 1;\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
