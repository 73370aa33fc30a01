#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"
#include "cpu/shared_state.h"
#include "platform/host.h"

int32_t exec_not_carried_out(InstrFields, const char* name) {
  opcode_name.set(name);
  return advance(kNotCarriedOut);
}

int32_t exec_ignored(InstrFields, const char*) {
  return advance();
}

// Changes nothing, so the same word runs again on the next call.
int32_t exec_no_advance(InstrFields, const char*) {
  return kCarriedOut;
}

int32_t exec_unknown_primary(InstrFields f, const char* name) {
  opcode_name.set(name);
  if (!shared.stop_on_unhandled) return kCarriedOut;
  message_text.format("Unknown opcode: %x\n Emulation stopped at instruction number %d", f.op(),
                      low_signed(cpu.cp0[kCountRegister] + 1));
  host().message_box("Unknown Opcode", message_text.c_str());
  shared.running = 0;
  return advance(kNotCarriedOut);
}
