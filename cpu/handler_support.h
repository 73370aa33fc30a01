#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/instr_fields.h"

// What the handlers share: the result codes, the ordinary advance and the readings of a field that
// several instructions make.

inline constexpr int32_t kCarriedOut = 0;
inline constexpr int32_t kNotCarriedOut = -1;

// The end of an instruction that does not jump or take a branch: on to the next word.
inline int32_t advance(int32_t result = kCarriedOut) {
  cpu.pc += 4;
  return result;
}

inline int32_t write_rt(InstrFields f, uint64_t value) {
  cpu.gpr[f.rt()] = value;
  return advance();
}

inline int32_t write_rd(InstrFields f, uint64_t value) {
  cpu.gpr[f.rd()] = value;
  return advance();
}

inline uint64_t low_half(uint64_t value) {
  return static_cast<uint32_t>(value);
}

// `imm` as the signed offset of the branches and the immediate additions.
inline uint64_t sign_extended_imm(InstrFields f) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(f.imm())));
}

// A register's 64 bits as the signed number the signed comparisons and divisions see.
inline int64_t as_signed(uint64_t value) {
  return static_cast<int64_t>(value);
}
