#pragma once

#include <cstdint>

#include "cpu/handler_support.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/handler_support.h"

// Branches and jumps. Every one has a delay slot: the word after it runs next, as the fetch's
// delay slot, and pc is left one word short of where execution goes on after it, so that the
// slot's own advance lands there. A branch not taken hands over its slot the same way, so that an
// exception in the slot is known to be in one; only the likely forms skip it.
namespace r4300i {

using alu::Comparison;

// What a branch does besides comparing: link (write ra), and skip its slot when not taken.
enum class Branch : uint8_t { plain, likely, link, link_likely };

// Runs the next word as the delay slot, then goes on at `destination`.
inline int32_t through_delay_slot(uint32_t destination) {
  cpu.delay_slot_pc = cpu.pc + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc = destination - 4;
  return kCarriedOut;
}

template <Comparison taken_if, Branch kind>
int32_t exec_branch(InstrFields f, const char*) {
  const bool taken = taken_if(rs(f), rt(f));
  if (kind == Branch::link || kind == Branch::link_likely) cpu.gpr[31] = alu::link(cpu.pc);
  if (taken) return through_delay_slot(alu::branch_target(cpu.pc, f.imm()));
  if (kind == Branch::likely || kind == Branch::link_likely) {
    cpu.pc += 8;  // the slot is nullified
    return kCarriedOut;
  }
  return through_delay_slot(cpu.pc + 8);
}

inline int32_t exec_j(InstrFields f, const char*) {
  return through_delay_slot(alu::jump_target(cpu.pc, f.target()));
}

inline int32_t exec_jal(InstrFields f, const char*) {
  cpu.gpr[31] = alu::link(cpu.pc);
  return through_delay_slot(alu::jump_target(cpu.pc, f.target()));
}

// pc holds 32 bits: a register that is not a sign-extended address goes to its low half.
inline int32_t exec_jr(InstrFields f, const char*) {
  return through_delay_slot(static_cast<uint32_t>(rs(f)));
}

inline int32_t exec_jalr(InstrFields f, const char*) {
  const uint32_t destination = static_cast<uint32_t>(rs(f));
  cpu.gpr[f.rd()] = alu::link(cpu.pc);
  return through_delay_slot(destination);
}

}  // namespace r4300i
