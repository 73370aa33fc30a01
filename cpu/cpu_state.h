#pragma once

#include <cstdint>

#include "base/text.h"
#include "cpu/cpu_model.h"

// The emulated R4300i. Registers are whole 64-bit values; a reader that wants the 32-bit value of a
// register takes the low half.
struct CpuState {
  uint64_t gpr[32];
  uint64_t hi_reg;
  uint64_t lo_reg;
  uint32_t pc;
  uint64_t cp0[32];
  double fpr[32];
  int32_t delay_slot_pending;
  uint32_t delay_slot_pc;
  uint32_t current_instruction;
  // What the processor is doing: the mnemonic of an instruction not carried out, or "Reading"
  // during a fetch. Error messages name it.
  Text<16> opcode_name;
  // The processor the machine has. Reset and Close ROM keep it.
  CpuModel model;
  // The complete model's LLbit: set by LL and LLD, cleared by ERET, tested by SC and SCD.
  uint8_t ll_bit;
};

inline constexpr int kCountRegister = 9;

// The machine's processor (the machine object owns it: machine/object/machine.h).
extern CpuState& cpu;

// Zeroes the general-purpose, coprocessor-0 and floating-point registers (and so the instruction
// count); pc, HI, LO and the delay-slot hand-over keep their values.
void clear_registers();
