#pragma once

#include <array>
#include <cstdint>

class Dialog;

// The newest register window of one kind, and the values it showed last so that a refresh can
// mark the ones that changed.
struct RegisterWindowRecord {
  Dialog* dialog = nullptr;
  std::array<uint32_t, 33> shown{};  // the 32 registers, then the program counter
  bool has_shown = false;
};

// What the debugger windows keep between calls: the newest window of each kind, which every fill
// and refresh goes to. An older window keeps what it showed last; once the newest is destroyed, no
// window of its kind is filled until another one opens.
struct DebuggerState {
  Dialog* newest_commands_window = nullptr;
  std::array<RegisterWindowRecord, 3> newest_register_windows{};  // GPR, CP0, FPR
};

extern DebuggerState debugger;

// Puts the machine and the debugger windows' state back as they are at program start (for the
// tests): one call for all of the process-wide state.
void reset_all_state();
