#pragma once

#include <cstdint>

#include "base/text.h"

// Sized for the longest disassembly, "BNE " with two register names and a ten-character target.
using DisasmText = Text<40>;

// The assembler text of the instruction `word` standing at `address`, the base of a BNE's target.
DisasmText disassemble(uint32_t word, uint32_t address);

// Register names; "Unknown" for any number above 31.
const char* gpr_name(unsigned n);
const char* cp0_name(unsigned n);
