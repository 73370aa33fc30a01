# Writes the bytes of INPUT as a C++ initializer list of hexadecimal numbers into OUTPUT.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}.\n${bytes}\n")
