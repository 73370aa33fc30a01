#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"

namespace {

// Counts of 64 and more fill every bit with the sign, as a shift of 63 does.
uint64_t shift_right_arithmetic(uint64_t value, unsigned count) {
  return static_cast<uint64_t>(as_signed(value) >> (count < 64 ? count : 63));
}

// A variable shift takes its count from the low 8 bits of gpr[rs].
unsigned variable_shift_count(InstrFields f) {
  return cpu.gpr[f.rs()] & 0xFF;
}

}  // namespace

int32_t exec_addi(InstrFields f, const char*) {
  return write_rt(f, cpu.gpr[f.rs()] + sign_extended_imm(f));
}

int32_t exec_andi(InstrFields f, const char*) {
  return write_rt(f, cpu.gpr[f.rs()] & f.imm());
}

int32_t exec_ori(InstrFields f, const char*) {
  return write_rt(f, cpu.gpr[f.rs()] | f.imm());
}

int32_t exec_lui(InstrFields f, const char*) {
  return write_rt(f, static_cast<uint64_t>(f.imm()) << 16);
}

int32_t exec_sll(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rt()] << f.sa());
}

int32_t exec_sllv(InstrFields f, const char*) {
  unsigned count = variable_shift_count(f);
  return write_rd(f, count < 64 ? cpu.gpr[f.rt()] << count : 0);
}

int32_t exec_srav(InstrFields f, const char*) {
  return write_rd(f, shift_right_arithmetic(cpu.gpr[f.rt()], variable_shift_count(f)));
}

int32_t exec_dsra32(InstrFields f, const char*) {
  return write_rd(f, shift_right_arithmetic(cpu.gpr[f.rt()], f.sa() + 32u));
}

int32_t exec_mfhi(InstrFields f, const char*) {
  return write_rd(f, cpu.hi_reg);
}

int32_t exec_mthi(InstrFields f, const char*) {
  cpu.hi_reg = cpu.gpr[f.rs()];
  return advance();
}

int32_t exec_mflo(InstrFields f, const char*) {
  return write_rd(f, cpu.lo_reg);
}

int32_t exec_mtlo(InstrFields f, const char*) {
  cpu.lo_reg = cpu.gpr[f.rs()];
  return advance();
}

// Never faults. A zero divisor leaves the dividend as the remainder and a quotient of 1 or -1
// opposite in sign to the dividend; the one quotient that does not fit (the most negative value
// divided by -1) wraps to the most negative value.
int32_t exec_ddiv(InstrFields f, const char*) {
  int64_t dividend = as_signed(cpu.gpr[f.rs()]);
  int64_t divisor = as_signed(cpu.gpr[f.rt()]);
  if (divisor == 0) {
    cpu.lo_reg = dividend < 0 ? 1 : UINT64_MAX;
    cpu.hi_reg = cpu.gpr[f.rs()];
  } else if (dividend == INT64_MIN && divisor == -1) {
    cpu.lo_reg = cpu.gpr[f.rs()];
    cpu.hi_reg = 0;
  } else {
    cpu.lo_reg = static_cast<uint64_t>(dividend / divisor);
    cpu.hi_reg = static_cast<uint64_t>(dividend % divisor);
  }
  return advance();
}

// ADD and DADD alike: a 64-bit sum that never traps.
int32_t exec_add(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rs()] + cpu.gpr[f.rt()]);
}

// ADDU and DADDU alike: gpr[rs] contributes only its low half.
int32_t exec_addu(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rt()] + low_half(cpu.gpr[f.rs()]));
}

int32_t exec_dsub(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rs()] - cpu.gpr[f.rt()]);
}

int32_t exec_dsubu(InstrFields f, const char*) {
  return write_rd(f, low_half(cpu.gpr[f.rs()]) - cpu.gpr[f.rt()]);
}

int32_t exec_and(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rs()] & cpu.gpr[f.rt()]);
}

int32_t exec_or(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rs()] | cpu.gpr[f.rt()]);
}

int32_t exec_xor(InstrFields f, const char*) {
  return write_rd(f, cpu.gpr[f.rs()] ^ cpu.gpr[f.rt()]);
}

int32_t exec_nor(InstrFields f, const char*) {
  return write_rd(f, ~(cpu.gpr[f.rs()] | cpu.gpr[f.rt()]));
}

int32_t exec_slt(InstrFields f, const char*) {
  return write_rd(f, as_signed(cpu.gpr[f.rs()]) < as_signed(cpu.gpr[f.rt()]));
}

// Compares the low halves only.
int32_t exec_sltu(InstrFields f, const char*) {
  return write_rd(f, low_half(cpu.gpr[f.rs()]) < low_half(cpu.gpr[f.rt()]));
}
