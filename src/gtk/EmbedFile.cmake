# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<symbol> -P EmbedFile.cmake
# Writes a C++ source that defines twdesktop::resources::<NAME> (a pointer to the file's bytes)
# and <NAME>_SIZE. A missing input gives a null pointer, so the program still builds and simply
# has no page.
if(EXISTS "${INPUT}")
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n    " bytes "${bytes}")
  set(body "namespace {\nconst unsigned char kBytes[${size} + 1] = {\n    ${bytes}0x00};\n}  // namespace\nextern const unsigned char* const ${NAME} = kBytes;\nextern const std::size_t ${NAME}_SIZE = ${size};\n")
else()
  set(body "extern const unsigned char* const ${NAME} = nullptr;\nextern const std::size_t ${NAME}_SIZE = 0;\n")
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT} by EmbedFile.cmake; do not edit.\n#include <cstddef>\n\nnamespace twdesktop::resources {\n${body}}  // namespace twdesktop::resources\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
