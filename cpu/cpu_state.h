#pragma once

#include <bit>
#include <concepts>
#include <cstdint>

#include "base/text.h"
#include "cpu/cpu_model.h"

// One floating-point register: the 64 bits the FPU holds, whatever format they stand for, so that
// every pattern (a signalling NaN, a single in the low half) stays as it was written. The 0.2c
// model reads and writes its registers as doubles, through the conversions; an integer is never
// taken for a double's value.
struct FloatRegister {
  uint64_t bits;

  operator double() const { return std::bit_cast<double>(bits); }
  FloatRegister& operator=(double value) {
    bits = std::bit_cast<uint64_t>(value);
    return *this;
  }
  template <std::integral Integer>
  FloatRegister& operator=(Integer) = delete;
};

// One entry of the complete model's TLB, as TLBWI and TLBWR write it from PageMask, EntryHi and
// EntryLo0/1: a pair of adjacent pages, the even one's frame and the odd one's. The entry is global
// when both EntryLo registers were, and then both frames keep G set.
struct TlbEntry {
  uint64_t page_mask;
  uint64_t entry_hi;     // R, VPN2 and ASID
  uint64_t entry_lo[2];  // PFN, C, D, V and G
};

inline constexpr int kTlbEntries = 32;

// The emulated R4300i. Registers are whole 64-bit values; a reader that wants the 32-bit value of a
// register takes the low half.
struct CpuState {
  uint64_t gpr[32];
  uint64_t hi_reg;
  uint64_t lo_reg;
  uint32_t pc;
  uint64_t cp0[32];
  FloatRegister fpr[32];
  // The FPU's control registers: FCR0, its implementation and revision (the complete model's
  // only), and FCR31, the control/status register.
  uint32_t fcr0;
  uint32_t fcr31;
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
  // The complete model's TLB, and the instruction clock at which its Random register held the
  // value cp0[1] keeps: Random counts down with every instruction, and is worked out from the
  // clock when read rather than stepped.
  TlbEntry tlb[kTlbEntries];
  uint64_t random_since;
};

inline constexpr int kCountRegister = 9;

// The machine's processor (the machine object owns it: machine/object/machine.h).
extern CpuState& cpu;

// Zeroes the general-purpose, coprocessor-0 and floating-point registers with the FPU's control
// registers (and so the instruction count); pc, HI, LO and the delay-slot hand-over keep their
// values.
void clear_registers();
