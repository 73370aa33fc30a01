#pragma once

#include <cstdint>

// What the machine tells a history that records its past (the one in machine/history), through
// this small interface so that nothing in the machine layer knows the history. A history installs
// itself while it records.
class HistoryHook {
 public:
  virtual ~HistoryHook() = default;

  // Run thread, between two instructions, at the scheduler's snapshot event.
  virtual void take_due_snapshot() = 0;

  // Around each write a debugger makes, with no instruction executing: the point where the
  // machine stands becomes the end of the history, and the state written is kept there.
  virtual void debugger_write_begins() = 0;
  virtual void debugger_write_ended() = 0;

  // Run thread, between two instructions: input from outside (the controller) has just changed the
  // machine, so the state there is kept, and a replay through this point starts from it.
  virtual void outside_input_applied() = 0;
};

// The history in the machine's table of hooks; null while nothing records.
HistoryHook* history_hook();
// Puts `hook` in the table (null: none, and no snapshot event).
void set_history_hook(HistoryHook* hook);

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
