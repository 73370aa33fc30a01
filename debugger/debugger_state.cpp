#include "debugger/debugger_state.h"

#include "machine/machine_state.h"

DebuggerState debugger;

void reset_all_state() {
  reset_machine();
  debugger = DebuggerState{};
}
