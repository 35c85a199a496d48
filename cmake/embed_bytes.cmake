# Writes INPUT's bytes as a C++ array: extern const unsigned char SYMBOL[]; SYMBOL_size.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    "
       bytes "${bytes}")
file(WRITE ${OUTPUT}
"#include <cstddef>\n\nnamespace morvale {\nextern const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
"extern const std::size_t ${SYMBOL}Size = ${size};\n}  // namespace morvale\n")
