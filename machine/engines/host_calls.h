#pragma once

#include <asmjit/x86.h>

#include <cstdint>

// How translated code and C++ meet on the host the translator was built for: its C calling
// convention (System V on Linux, the Windows x64 convention on Windows), as asmjit knows it. This
// is all the emitter knows of the convention.
//
// Translated code runs inside one frame that `emit_enter` opens and `emit_leave` closes: every
// register the convention preserves is saved there, since translated code may use any of them; the
// stack is aligned for calls, with the room a callee may use below the frame's own bytes.
namespace host_calls {

// The register of a call's integer argument `index` (0 to 3).
asmjit::x86::Gp argument(unsigned index);

// Whether a call leaves `reg` as it was.
bool preserved(const asmjit::x86::Gp& reg);

// Opens the frame, from the start of a function called from C++.
void emit_enter(asmjit::x86::Assembler& a);
// Closes it and returns to the caller.
void emit_leave(asmjit::x86::Assembler& a);

// The frame's own bytes (`kFrameBytes` of them), which no call touches.
inline constexpr int32_t kFrameBytes = 8;
asmjit::x86::Mem frame_byte(int32_t offset);

}  // namespace host_calls
