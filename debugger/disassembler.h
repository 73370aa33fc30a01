#pragma once

#include <cstdint>

#include "cpu/text.h"

// Where the word being disassembled stands; the base of the BNE target. The listing window sets it
// before each call.
extern uint64_t listing_address;

// Holds every composed disassembly; sized for the longest one, "BNE " with two register names and
// a ten-character target.
extern Text<40> disasm_text;

// The assembler text of `listing_fields`: either a constant text or `disasm_text`, which the next
// call overwrites, so callers copy it at once.
const char* disassemble();

// Register names; "Unknown" for any number above 31.
const char* gpr_name(unsigned n);
const char* cp0_name(unsigned n);
