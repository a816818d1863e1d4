# Writes a C++ source that holds the bytes of a file as an array, so that data the program carries
# (the language tables) is compiled in and never read from disk at run time.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAMESPACE=ns -DSYMBOL=kName -P embed_bytes.cmake
# defines  const unsigned char ns::kName[]  and  const std::size_t ns::kNameSize.
foreach(var INPUT OUTPUT NAMESPACE SYMBOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed_bytes.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${input_name} at build time; do not edit.
#include <cstddef>

namespace ${NAMESPACE} {

// One zero byte more than the file holds, so that an empty file still makes a valid array.
extern const unsigned char ${SYMBOL}[] = {
    ${bytes}0x00};
extern const std::size_t ${SYMBOL}Size = ${size};

}  // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
