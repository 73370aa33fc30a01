#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"

namespace {

// A taken branch hands the word after it to the next fetch as its delay slot and leaves pc one word
// short of the target, so that the delay-slot instruction's own advance lands on the target.
int32_t branch_if(bool taken, InstrFields f) {
  if (!taken) return advance();
  cpu.delay_slot_pc = cpu.pc + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc += static_cast<uint32_t>(sign_extended_imm(f) << 2);
  return kCarriedOut;
}

// Jumps stay in the first 256 MB: the top bits of pc are not carried over.
uint32_t jump_target(InstrFields f) {
  return f.target() << 2;
}

}  // namespace

int32_t exec_j(InstrFields f, const char* name) {
  cpu.opcode_name.set(name);
  cpu.pc = jump_target(f);
  return kCarriedOut;
}

// The return address skips the word after the jump: jumps have no delay slot here.
int32_t exec_jal(InstrFields f, const char*) {
  cpu.gpr[31] = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(cpu.pc + 8)));
  cpu.pc = jump_target(f);
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
