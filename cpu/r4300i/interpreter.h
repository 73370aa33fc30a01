#pragma once

#include <cstdint>

#include "cpu/instr_fields.h"
#include "cpu/opcode_rows.h"

namespace r4300i {

enum class Fault : uint8_t;  // cpu/r4300i/address_translation.h

// Carries out the word in `cpu.current_instruction` as the complete model does: a pending
// interrupt, or an address error or TLB exception of the fetch, is taken instead, and anything the
// instruction raises leaves the processor at the exception vector. Everything is carried out: the
// result is always 0. Register 0 holds 0 before and after.
int32_t execute_instruction();
// `execute_fetched` (execute_fetched.h) is the same for a caller that translates the fetch itself.

// The row of the map that `f` falls in, for the disassembler.
const OpcodeEntry& opcode_entry(InstrFields f);

// For a computing instruction of the FPU (formats S, D, W and L): its handler that, where the
// interpreter's would raise an exception (the FPU unusable, a condition that traps), changes
// nothing and returns kNotCarriedOut, and leaves pc alone. None for any other word.
Handler declining_fpu_handler(InstrFields f);

}  // namespace r4300i
