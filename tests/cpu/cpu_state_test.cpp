#include "cpu/cpu_state.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cpu/instr_fields.h"
#include "machine/machine_state.h"
#include "tests/support/core_fixture.h"

namespace {

TEST(DecodeInstruction, AllOnesFillsEveryFieldToItsWidth) {
  InstrFields f = decode_instruction(0xFFFFFFFF);
  EXPECT_EQ(f.op(), 63);
  EXPECT_EQ(f.rs(), 31);
  EXPECT_EQ(f.rt(), 31);
  EXPECT_EQ(f.imm(), 0xFFFF);  // unsigned, not -1
  EXPECT_EQ(f.target(), 0x3FFFFFFu);
  EXPECT_EQ(f.rd(), 31);
  EXPECT_EQ(f.sa(), 31);
  EXPECT_EQ(f.funct(), 63);
}

TEST(DecodeInstruction, FieldsDoNotBleedIntoTheirNeighbours) {
  InstrFields shift = decode_instruction(0x00021080);  // sll v0,v0,2
  EXPECT_EQ(shift.op(), 0);
  EXPECT_EQ(shift.rs(), 0);
  EXPECT_EQ(shift.rt(), 2);
  EXPECT_EQ(shift.rd(), 2);
  EXPECT_EQ(shift.sa(), 2);
  EXPECT_EQ(shift.funct(), 0);

  // One bit set in each field in turn.
  InstrFields f = decode_instruction(1u << 26 | 1u << 21 | 1u << 16 | 1u << 11 | 1u << 6 | 1u);
  EXPECT_EQ(f.op(), 1);
  EXPECT_EQ(f.rs(), 1);
  EXPECT_EQ(f.rt(), 1);
  EXPECT_EQ(f.rd(), 1);
  EXPECT_EQ(f.sa(), 1);
  EXPECT_EQ(f.funct(), 1);
  EXPECT_EQ(f.imm(), 0x0841);
  EXPECT_EQ(f.target(), 0x0210841u);
}

using ClearRegisters = CoreTest;

TEST_F(ClearRegisters, ZeroesTheRegisterFilesAndKeepsTheRest) {
  for (int i = 0; i < 32; ++i) {
    cpu.gpr[i] = 0x1111111111111111u * (i + 1);
    cpu.cp0[i] = 0x2222222222222222u;
    cpu.fpr[i] = -1.5;
  }
  cpu.pc = 0x04000100;
  cpu.hi_reg = 7;
  cpu.lo_reg = 8;
  cpu.delay_slot_pending = 1;
  cpu.delay_slot_pc = 0x04000104;

  clear_registers();

  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(cpu.gpr[i], 0u) << i;
    EXPECT_EQ(cpu.cp0[i], 0u) << i;
    EXPECT_FALSE(std::signbit(cpu.fpr[i])) << i;  // +0.0, not -0.0
    EXPECT_EQ(cpu.fpr[i], 0.0) << i;
  }
  EXPECT_EQ(cpu.cp0[kCountRegister], 0u);
  EXPECT_EQ(cpu.pc, 0x04000100u);
  EXPECT_EQ(cpu.hi_reg, 7u);
  EXPECT_EQ(cpu.lo_reg, 8u);
  EXPECT_EQ(cpu.delay_slot_pending, 1);
  EXPECT_EQ(cpu.delay_slot_pc, 0x04000104u);
}

TEST(TextBuffer, NeverRunsPastItsEnd) {
  Text<8> text;
  text.set("Korvel");
  text.append(" 0.2c and more");
  EXPECT_STREQ(text.c_str(), "Korvel ");
  text.format("%d", 123456789);
  EXPECT_STREQ(text.c_str(), "1234567");
  text.set("ab");
  text.append_format("%x", 0xCAFEBABEu);
  EXPECT_STREQ(text.c_str(), "abcafeb");
}

TEST(TextBuffer, MessageTextHoldsTheLongestReadErrorWhole) {
  // The longest read error: every number at its widest, the longest opcode name appended.
  shared.message_text().format(
      "Unhandled memory address: %x\nStopped on opcode number: %d\nPC: %x\nOpcode:", 0xFFFFFFFFu,
      INT32_MIN, 0xFFFFFFFFu);
  shared.message_text().append("Unknown CP");
  EXPECT_EQ(shared.message_text().size(), 103u);
  EXPECT_LT(shared.message_text().size(), shared.message_text().capacity());
}

}  // namespace
