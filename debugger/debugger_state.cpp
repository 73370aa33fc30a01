#include "debugger/debugger_state.h"

#include "machine/machine_reset.h"

DebuggerState debugger;

void reset_all_state() {
  reset_machine();
  debugger = DebuggerState{};
}
