#include "debugger/debugger_state.h"

#include "machine/object/machine.h"

DebuggerState debugger;

void reset_all_state() {
  machine.reset();
  debugger = DebuggerState{};
}
