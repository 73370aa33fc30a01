#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"

// What the machine tells a history that records its past (the one in machine/history), through
// this small interface so that nothing in the machine layer knows the history. A history installs
// itself while it records.
class HistoryHook {
 public:
  virtual ~HistoryHook() = default;

  // Run thread, between two instructions, once Count has left `snapshot_window`.
  virtual void take_due_snapshot() = 0;

  // Around each write a debugger makes, with no instruction executing: the point where the
  // machine stands becomes the end of the history, and the state written is kept there.
  virtual void debugger_write_begins() = 0;
  virtual void debugger_write_ended() = 0;

  // The machine is being put back as it is at program start: the history stops recording.
  virtual void machine_reset() = 0;
};

// Null while nothing records.
HistoryHook* history_hook();
void set_history_hook(HistoryHook* hook);

// The run loop's one look at the history, before every batch and every instruction taken one at a
// time: whether Count has left the window within which no snapshot is due. It costs a subtraction
// and a comparison, and never fires while nothing records. The history sets it.
struct SnapshotWindow {
  uint64_t first_count = 0;
  uint64_t span = UINT64_MAX;
};

extern SnapshotWindow snapshot_window;

inline bool snapshot_due() {
  return cpu.cp0[kCountRegister] - snapshot_window.first_count > snapshot_window.span;
}

inline void take_due_snapshot() {
  if (HistoryHook* hook = history_hook()) hook->take_due_snapshot();
}

// Held around each write a debugger makes to the processor or memory.
class DebuggerWrite {
 public:
  DebuggerWrite() {
    if (HistoryHook* hook = history_hook()) hook->debugger_write_begins();
  }
  ~DebuggerWrite() {
    if (HistoryHook* hook = history_hook()) hook->debugger_write_ended();
  }
  DebuggerWrite(const DebuggerWrite&) = delete;
  DebuggerWrite& operator=(const DebuggerWrite&) = delete;
};
