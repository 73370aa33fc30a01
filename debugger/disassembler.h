#pragma once

#include <cstdint>

#include "base/text.h"
#include "cpu/cpu_model.h"

// Sized for the longest disassembly, "BNE " with two register names and a ten-character target.
using DisasmText = Text<40>;

// The assembler text of the instruction `word` standing at `address`, the base of a branch's
// target, as the processor `model` reads it.
DisasmText disassemble(uint32_t word, uint32_t address, CpuModel model = CpuModel::v02c);

// Register names; "Unknown" for any number above 31.
const char* gpr_name(unsigned n);
const char* cp0_name(unsigned n);
