#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"

// The run loop's one look at the history, made before every batch and every instruction taken
// one at a time: whether Count has left the window within which no snapshot is due. It costs a
// subtraction and a comparison, and never fires while nothing is recorded.
struct SnapshotWindow {
  uint64_t first_count = 0;
  uint64_t span = UINT64_MAX;
};

extern SnapshotWindow snapshot_window;

inline bool snapshot_due() {
  return cpu.cp0[kCountRegister] - snapshot_window.first_count > snapshot_window.span;
}

// Takes the snapshot that is due, if the instructions executed say one is (the program may have
// written Count), and sets the next window. Run thread, between two instructions.
void take_due_snapshot();
