#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"

namespace {

// A taken branch hands the word after it to the next fetch as its delay slot.
int32_t branch_if(bool taken, InstrFields f) {
  if (!taken) return advance();
  cpu.delay_slot_pc = cpu.pc + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc = alu::branch_continuation(cpu.pc, f.imm());
  return kCarriedOut;
}

}  // namespace

int32_t exec_j(InstrFields f, const char* name) {
  cpu.opcode_name.set(name);
  cpu.pc = alu::jump_target(f.target());
  return kCarriedOut;
}

int32_t exec_jal(InstrFields f, const char*) {
  cpu.gpr[31] = alu::jal_link(cpu.pc);
  cpu.pc = alu::jump_target(f.target());
  return kCarriedOut;
}

int32_t exec_jr(InstrFields f, const char* name) {
  cpu.opcode_name.set(name);
  cpu.pc = static_cast<uint32_t>(cpu.gpr[f.rs()]);
  return kCarriedOut;
}

int32_t exec_beq(InstrFields f, const char*) {
  return branch_if(cpu.gpr[f.rs()] == cpu.gpr[f.rt()], f);
}

int32_t exec_bne(InstrFields f, const char*) {
  return branch_if(cpu.gpr[f.rs()] != cpu.gpr[f.rt()], f);
}
