#pragma once

#include <cstdint>

#include "cpu/handler_support.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/branches.h"
#include "cpu/r4300i/fpu_operations.h"
#include "cpu/r4300i/fpu_registers.h"
#include "cpu/r4300i/handler_support.h"

// What moves between the FPU and the rest: the moves to and from general registers, its control
// registers, its branches, and its loads and stores (which the load and store handlers carry out
// with these as their destination or source). The moves' rd field is the register fs.
namespace r4300i {

// MFC1 and DMFC1; a word is sign-extended.
template <Width width>
int32_t exec_move_from_fpu(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  return write_rt(f, width == Width::doubleword ? fpu::read64(f.rd())
                                                : alu::sign_extend_32(fpu::read32(f.rd())));
}

// MTC1 and DMTC1.
template <Width width>
int32_t exec_move_to_fpu(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  if (width == Width::doubleword) {
    fpu::write64(f.rd(), rt(f));
  } else {
    fpu::write32(f.rd(), static_cast<uint32_t>(rt(f)));
  }
  return advance();
}

inline int32_t exec_move_from_fpu_control(InstrFields f, const char*) {
  return write_rt(f, alu::sign_extend_32(fpu::control_register(f.rd())));
}

// CTC1 writes FCSR's writable bits (the other control registers take nothing). A cause it writes
// together with its enable, or an unimplemented operation's, takes the floating-point exception
// at once, FCSR written.
inline int32_t exec_move_to_fpu_control(InstrFields f, const char*) {
  if (f.rd() != 31) return advance();
  cpu.fcr31 = static_cast<uint32_t>(rt(f)) & fpu::kFcsrWritable;
  if (fpu_traps(cpu.fcr31)) return raise(Exception::floating_point);
  return advance();
}

// BC1F, BC1T, BC1FL and BC1TL branch on FCSR's condition bit.
inline bool fpu_condition_set(uint64_t, uint64_t) {
  return (cpu.fcr31 & fpu::kConditionBit) != 0;
}
inline bool fpu_condition_clear(uint64_t, uint64_t) {
  return (cpu.fcr31 & fpu::kConditionBit) == 0;
}

// LWC1 and LDC1 load into the register the rt field names, SWC1 and SDC1 store from it.
inline int32_t load_fpr32(InstrFields f, uint64_t value) {
  fpu::write32(f.rt(), static_cast<uint32_t>(value));
  return advance();
}
inline int32_t load_fpr64(InstrFields f, uint64_t value) {
  fpu::write64(f.rt(), value);
  return advance();
}
inline uint64_t stored_fpr32(InstrFields f) {
  return fpu::read32(f.rt());
}
inline uint64_t stored_fpr64(InstrFields f) {
  return fpu::read64(f.rt());
}

}  // namespace r4300i
