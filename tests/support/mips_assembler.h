#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Assembles MIPS source with GNU as (-EB -march=vr4300 -mabi=o64 so that 64-bit instructions stay
// single words; noreorder, noat) and returns the words of its .text section. Fails the calling test
// (and returns nothing) when the assembler rejects it.
std::vector<uint32_t> assemble(const std::string& source);

// The same words as big-endian bytes, as they stand in a ROM image or in memory.
std::vector<uint8_t> to_bytes(const std::vector<uint32_t>& words);
