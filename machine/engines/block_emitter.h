#pragma once

#include <asmjit/x86.h>

#include <array>

#include "machine/engines/translated_code.h"

// What the translator asks of the emitter: the way into translated code and back, and each
// block's code.

// Emits the way in, `uint64_t enter(CpuState*, uint64_t budget, const void* code)`, which returns
// the budget left, and binds `leave` at the way back; translated code keeps `context` up to date.
// False, with nothing usable emitted, where `context` lies out of the reach of translated code.
bool emit_trampoline(asmjit::x86::Assembler& a, const asmjit::Label& leave,
                     const JitContext& context);

// Emits a block's code; false, with nothing usable emitted, where the program's data lies out of
// the reach of translated code.
bool emit_block(asmjit::x86::Assembler& a, const BlockSource& block, const EmitterTables& tables);
