#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/instr_fields.h"

// What the handlers share: the result codes and the ordinary advance.

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
