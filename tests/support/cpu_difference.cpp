#include "tests/support/cpu_difference.h"

#include <cstdint>

void FirstDifference::compare(const CpuState& expected, const CpuState& got) {
  for (int i = 0; i < 32; ++i) {
    compare("gpr" + std::to_string(i), expected.gpr[i], got.gpr[i]);
    compare("cp0_" + std::to_string(i), expected.cp0[i], got.cp0[i]);
    compare("fpr" + std::to_string(i), expected.fpr[i].bits, got.fpr[i].bits);
  }
  compare("fcr0", expected.fcr0, got.fcr0);
  compare("fcr31", expected.fcr31, got.fcr31);
  compare("hi", expected.hi_reg, got.hi_reg);
  compare("lo", expected.lo_reg, got.lo_reg);
  compare("pc", expected.pc, got.pc);
  compare("delay_slot_pending", expected.delay_slot_pending, got.delay_slot_pending);
  compare("delay_slot_pc", expected.delay_slot_pc, got.delay_slot_pc);
  compare("current_instruction", expected.current_instruction, got.current_instruction);
  compare("ll_bit", expected.ll_bit, got.ll_bit);
  for (int i = 0; i < kTlbEntries; ++i) {
    const std::string entry = "tlb" + std::to_string(i);
    compare(entry + " page_mask", expected.tlb[i].page_mask, got.tlb[i].page_mask);
    compare(entry + " entry_hi", expected.tlb[i].entry_hi, got.tlb[i].entry_hi);
    compare(entry + " entry_lo0", expected.tlb[i].entry_lo[0], got.tlb[i].entry_lo[0]);
    compare(entry + " entry_lo1", expected.tlb[i].entry_lo[1], got.tlb[i].entry_lo[1]);
  }
  compare("random_since", expected.random_since, got.random_since);
  compare("opcode_name", std::string(expected.opcode_name.c_str()),
          std::string(got.opcode_name.c_str()));
}
