#pragma once

#include <cstddef>

// Makes standard output and standard error carry exactly the bytes the program writes, so that
// scripts read the same lines everywhere: Windows would otherwise write each "\n" as "\r\n".
void write_standard_streams_as_bytes();

// Writes text the emulated program gives its developer to standard output at once, as it comes.
void write_program_text(const char* text, std::size_t length);
