#pragma once

#include <cstdint>

#include "cpu/cpu_model.h"
#include "debugger/dialog.h"
#include "machine/machine_state.h"

// The Commands window: 256 instruction words of emulated memory from the program counter plus
// `shared.listing_offset`, each as its address, its four bytes and its disassembly, with buttons
// that page by 256 words and a single step.

// Builds in `line` the listing line of `word` standing at `address`: "%.8X" address, three blanks,
// the four bytes, three blanks, the disassembly as `model` names it. Reads no machine state, so
// that a run's own thread can trace with it.
void compose_listing_line(MessageText& line, uint32_t address, uint32_t word, CpuModel model);

// Shows the program counter in the PC field and rebuilds the list, in the newest Commands window.
void fill_listing();

// Shows the program counter ("%X") in the PC field of the newest Commands window.
void show_pc();

// The window procedure of every Commands window. The newest window to be initialised receives
// every fill and PC update, whichever window's button caused it, until it is destroyed.
class CommandsProcedure final : public DialogProcedure {
 public:
  void on_init(Dialog& dialog) override;
  bool on_command(Dialog& dialog, int id) override;
  void on_destroy(Dialog& dialog) override;
};
