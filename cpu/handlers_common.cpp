#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"
#include "cpu/hooks.h"

int32_t exec_not_carried_out(InstrFields, const char* name) {
  cpu.opcode_name.set(name);
  return advance(kNotCarriedOut);
}

int32_t exec_ignored(InstrFields, const char*) {
  return advance();
}

// Changes nothing, so the same word runs again on the next call.
int32_t exec_no_advance(InstrFields, const char*) {
  return kCarriedOut;
}

// Without the stop, the same word runs again on the next call.
int32_t exec_unknown_primary(InstrFields f, const char* name) {
  cpu.opcode_name.set(name);
  if (!cpu_hooks.cpu_faults->unknown_opcode(f.op())) return kCarriedOut;
  return advance(kNotCarriedOut);
}
