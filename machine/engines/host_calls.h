#pragma once

#include <asmjit/x86.h>

#include <cstdint>

// How translated code and C++ meet on the host the translator was built for: its C calling
// convention (System V on Linux, the Windows x64 convention on Windows), as asmjit knows it. This
// is all the emitter knows of the convention.
//
// Translated code runs inside one frame that `emit_enter` opens and `emit_leave` closes: every
// register the convention preserves is saved there, since translated code may use any of them, and
// the stack is aligned for calls. Translated code may push pairs of 8 bytes below it.
namespace host_calls {

// The register of a call's integer argument `index` (0 to 3).
asmjit::x86::Gp argument(unsigned index);

// Whether a call leaves `reg` as it was.
bool preserved(const asmjit::x86::Gp& reg);

// Opens the frame, from the start of a function called from C++.
void emit_enter(asmjit::x86::Assembler& a);
// Closes it and returns to the caller.
void emit_leave(asmjit::x86::Assembler& a);

// Calls `target`, with the room the convention lets a callee use made below what translated code
// has pushed.
void emit_call(asmjit::x86::Assembler& a, const asmjit::x86::Gp& target);

}  // namespace host_calls
