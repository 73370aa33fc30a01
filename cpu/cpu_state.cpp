#include "cpu/cpu_state.h"

#include "cpu/instr_fields.h"
#include "cpu/shared_state.h"

CpuState cpu{};
InstrFields exec_fields{};
InstrFields listing_fields{};
Text<16> opcode_name;
Text<512> message_text;
SharedState shared;

void clear_registers() {
  for (int i = 0; i < 32; ++i) {
    cpu.gpr[i] = 0;
    cpu.cp0[i] = 0;
    cpu.fpr[i] = 0.0;
  }
}

void reset_shared_state() {
  shared.running = 0;
  shared.stop_on_unhandled = 1;
  shared.show_count = 0;
  shared.title_text.set("Korvel");
  shared.listing_offset = 0;
}
