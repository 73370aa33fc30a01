#include <gtest/gtest.h>

#include "debugger/debugger_state.h"

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using Branches = InterpreterTest;

constexpr uint32_t kBeqZeroZeroBack = 0x1000FFFE;  // beq $zero,$zero with imm 0xFFFE

TEST_F(Branches, TakenBranchHandsItsDelaySlotToTheNextFetch) {
  place_words(0x100, {kBeqZeroZeroBack, 0x34080077});  // the delay slot: ori $t0,$zero,0x77
  cpu.pc = 0x100;
  EXPECT_EQ(step(), 0);
  EXPECT_EQ(cpu.delay_slot_pending, 1);
  EXPECT_EQ(cpu.delay_slot_pc, 0x104u);
  EXPECT_EQ(cpu.pc, 0xF8u);  // the target minus 4
  EXPECT_EQ(cpu.gpr[kT0], 0u);

  EXPECT_EQ(step(), 0);  // the delay slot
  EXPECT_EQ(cpu.gpr[kT0], 0x77u);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.pc, 0xFCu);  // the target
}

TEST_F(Branches, ComparisonsUseAll64Bits) {
  struct Case {
    uint32_t word;
    uint64_t t0, t1;
    bool taken;
  };
  constexpr uint32_t beq = 0x11090010, bne = 0x15090010;  // rs t0, rt t1, imm 0x10
  const Case cases[] = {
      {beq, 5, 5, true},
      {beq, 0x100000005, 5, false},
      {bne, 0x100000005, 5, true},
      {bne, 0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.word << " " << c.t0 << " " << c.t1);
    reset_all_state();
    cpu.pc = 0x04000100;
    cpu.delay_slot_pc = 0xDEAD;
    cpu.gpr[kT0] = c.t0;
    cpu.gpr[kT1] = c.t1;
    EXPECT_EQ(execute_word(c.word), 0);
    EXPECT_EQ(cpu.delay_slot_pending, c.taken ? 1 : 0);
    EXPECT_EQ(cpu.delay_slot_pc, c.taken ? 0x04000104u : 0xDEADu);
    EXPECT_EQ(cpu.pc, c.taken ? 0x04000140u : 0x04000104u);
  }
}

TEST_F(Branches, LoopRunsItsDelaySlotOnEveryPass) {
  load_program(kCodeAddress,
               "  ori $t0, $zero, 5\n"
               "  or $t1, $zero, $zero\n"
               "loop:\n"
               "  addiu $t0, $t0, -1\n"
               "  bne $t0, $zero, loop\n"
               "  addiu $t1, $t1, 2\n");
  EXPECT_EQ(step(2 + 5 * 3), 0);
  EXPECT_EQ(cpu.gpr[kT0], 0u);
  EXPECT_EQ(cpu.gpr[kT1], 10u);
  EXPECT_EQ(cpu.pc, kCodeAddress + 5 * 4);  // past the delay slot
  EXPECT_EQ(cpu.delay_slot_pending, 0);
}

TEST_F(Branches, JalSkipsTheFollowingWordAndReturnsPastIt) {
  load_program(kCodeAddress,
               "ori $t0, $zero, 1\n"
               "jal 0x04000050\n"
               "ori $t0, $t0, 2\n"  // never executed
               "ori $t1, $zero, 9\n"
               "ori $t0, $t0, 4\n"  // 0x04000050
               "jr $ra\n");
  EXPECT_EQ(step(2), 0);
  EXPECT_EQ(cpu.gpr[kRa], 0x0400004Cu);
  EXPECT_EQ(cpu.pc, 0x04000050u);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(step(3), 0);
  EXPECT_EQ(cpu.gpr[kT0], 5u);
  EXPECT_EQ(cpu.gpr[kT1], 9u);
  EXPECT_EQ(cpu.pc, 0x04000050u);
}

TEST_F(Branches, JalReturnAddressIsSignExtendedAndTheTargetDropsTheTopBits) {
  cpu.pc = 0x80000100;
  EXPECT_EQ(execute_word(0x0C000040), 0);  // jal with target 0x40
  EXPECT_EQ(cpu.gpr[kRa], 0xFFFFFFFF80000108u);
  EXPECT_EQ(cpu.pc, 0x100u);

  cpu.pc = 0x04000100;
  EXPECT_EQ(execute_word(0x0C100000), 0);
  EXPECT_EQ(cpu.gpr[kRa], 0x04000108u);
  EXPECT_EQ(cpu.pc, 0x00400000u);
}

TEST_F(Branches, JumpsNameThemselvesAndTakeNoDelaySlot) {
  cpu.pc = 0xA4000040;
  EXPECT_EQ(execute_word(0x0BFFFFFF), 0);  // j with every target bit set
  EXPECT_EQ(cpu.pc, 0x0FFFFFFCu);
  EXPECT_STREQ(cpu.opcode_name.c_str(), "J");
  EXPECT_EQ(cpu.delay_slot_pending, 0);

  cpu.gpr[kT2] = 0xFFFFFFFF80001234;
  EXPECT_EQ(execute_word(0x01400008), 0);  // jr $t2
  EXPECT_EQ(cpu.pc, 0x80001234u);
  EXPECT_STREQ(cpu.opcode_name.c_str(), "JR");
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.gpr[kRa], 0u);
}

}  // namespace
