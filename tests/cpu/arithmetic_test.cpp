#include <gtest/gtest.h>

#include "debugger/debugger_state.h"

#include <cstdint>

#include "cpu/cpu_state.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using Arithmetic = InterpreterTest;

// One instruction reading t0 and t1 and writing t2.
struct Case {
  const char* source;
  uint64_t t0;
  uint64_t t1;
  uint64_t t2;
};

constexpr uint64_t kOnes = UINT64_MAX;

// Each case is one place where a 32-bit model of the registers, a sign extension in the wrong place
// or an unguarded shift would give another result.
const Case kCases[] = {
    // Immediates: sign-extended for the additions, zero-extended for the logic, LUI unextended.
    {"addiu $t2, $zero, -1", 0, 0, kOnes},
    {"addi $t2, $t0, 1", 0x7FFFFFFF, 0, 0x80000000},
    {"addi $t2, $t0, 1", 0x7FFFFFFFFFFFFFFF, 0, 0x8000000000000000},
    {"ori $t2, $zero, 0xFFFF", 0, 0, 0xFFFF},
    {"ori $t2, $t0, 0x1234", 0xFFFFFFFF00000000, 0, 0xFFFFFFFF00001234},
    {"andi $t2, $t0, 0x8001", kOnes, 0, 0x8001},
    {"lui $t2, 0x8000", 0, 0, 0x80000000},
    // Shifts move bits across the halves and never shift by 64 or more.
    {"sll $t2, $t0, 2", 0x80000001, 0, 0x200000004},
    {"sll $t2, $t0, 1", 0xC000000000000001, 0, 0x8000000000000002},
    {"sllv $t2, $t0, $t1", 1, 36, 0x1000000000},
    {"sllv $t2, $t0, $t1", 0xFFFF, 0x100000104, 0xFFFF0},  // the count is the low 8 bits only
    {"sllv $t2, $t0, $t1", 1, 63, 0x8000000000000000},
    {"sllv $t2, $t0, $t1", kOnes, 64, 0},
    {"sllv $t2, $t0, $t1", kOnes, 0xFF, 0},
    {"srav $t2, $t0, $t1", 0xF000000000000000, 4, 0xFF00000000000000},
    {"srav $t2, $t0, $t1", 0x8000000000000000, 63, kOnes},
    {"srav $t2, $t0, $t1", 0x8000000000000000, 200, kOnes},
    {"srav $t2, $t0, $t1", 0x7FFFFFFFFFFFFFFF, 64, 0},
    {"srav $t2, $t0, $t1", 0x80000000, 0x104, 0x8000000},
    {"dsra32 $t2, $t0, 0", 0x8000000100000000, 0, 0xFFFFFFFF80000001},
    {"dsra32 $t2, $t0, 31", 0x8000000000000000, 0, kOnes},
    {"dsra32 $t2, $t0, 4", 0x7000000000000000, 0, 0x7000000},
    // Register additions: ADDU and DADDU take only the low half of rs, ADD and DADD all of it.
    {"addu $t2, $t0, $t1", kOnes, 1, 0x100000000},
    {"daddu $t2, $t0, $t1", 0x1234567800000002, 5, 7},
    {"add $t2, $t0, $t1", 0x7FFFFFFF, 1, 0x80000000},
    {"dadd $t2, $t0, $t1", 0x8000000000000000, 0x8000000000000001, 1},
    {"dsub $t2, $t0, $t1", 0, 1, kOnes},
    {"dsub $t2, $t0, $t1", 0x100000000, 1, 0xFFFFFFFF},
    {"dsubu $t2, $t0, $t1", 0x1234567800000005, 3, 2},
    {"dsubu $t2, $t0, $t1", 0xFFFFFFFF00000000, 1, kOnes},
    // Logic on all 64 bits.
    {"and $t2, $t0, $t1", 0xF0F0F0F00000FFFF, 0xFF00FF0000FF00FF, 0xF000F000000000FF},
    {"or $t2, $t0, $t1", 0xF0F0F0F00000FFFF, 0xFF00FF0000FF00FF, 0xFFF0FFF000FFFFFF},
    {"xor $t2, $t0, $t1", 0xF0F0F0F00000FFFF, 0xFF00FF0000FF00FF, 0x0FF00FF000FFFF00},
    {"nor $t2, $t0, $t1", 0xF0F0F0F00000FFFF, 0xFF00FF0000FF00FF, 0x000F000FFF000000},
    // SLT compares 64-bit signed values, SLTU the unsigned low halves.
    {"slt $t2, $t0, $t1", kOnes, 1, 1},
    {"slt $t2, $t0, $t1", 0x8000000000000000, 0, 1},
    {"slt $t2, $t0, $t1", 0x100000000, 0xFFFFFFFF, 0},
    {"sltu $t2, $t0, $t1", 0xFFFFFFFF00000001, 2, 1},
    {"sltu $t2, $t0, $t1", 1, 0xFFFFFFFF00000000, 0},
    {"sltu $t2, $t0, $t1", 0x80000000, 0x7FFFFFFF, 0},
};

TEST_F(Arithmetic, WorksOnWholeRegistersWhereItShouldAndOnHalvesWhereItShould) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.source << " t0=" << std::hex << c.t0 << " t1=" << c.t1);
    reset_all_state();
    cpu.gpr[kT0] = c.t0;
    cpu.gpr[kT1] = c.t1;
    cpu.gpr[kT2] = 0x5555555555555555;
    run_program(c.source);
    EXPECT_EQ(cpu.gpr[kT2], c.t2);
    EXPECT_EQ(cpu.gpr[kT0], c.t0);
    EXPECT_EQ(cpu.gpr[kT1], c.t1);
  }
}

TEST_F(Arithmetic, DoublewordDivideNeverFaults) {
  struct Division {
    int64_t dividend, divisor, quotient, remainder;
  };
  const Division divisions[] = {
      {-7, 2, -3, -1},
      {7, -2, -3, 1},
      {INT64_MIN, -1, INT64_MIN, 0},
      {INT64_MAX, 0x100000000, 0x7FFFFFFF, 0xFFFFFFFF},
      // A zero divisor: the dividend as remainder, a quotient of the opposite sign's unit.
      {5, 0, -1, 5},
      {-5, 0, 1, -5},
      {0, 0, -1, 0},
      {INT64_MIN, 0, 1, INT64_MIN},
  };
  for (const Division& d : divisions) {
    SCOPED_TRACE(testing::Message() << d.dividend << " / " << d.divisor);
    reset_all_state();
    cpu.gpr[kT0] = static_cast<uint64_t>(d.dividend);
    cpu.gpr[kT1] = static_cast<uint64_t>(d.divisor);
    run_program("ddiv $zero, $t0, $t1\nmflo $t2\nmfhi $t3");
    EXPECT_EQ(static_cast<int64_t>(cpu.gpr[kT2]), d.quotient);
    EXPECT_EQ(static_cast<int64_t>(cpu.gpr[kT3]), d.remainder);
  }
}

TEST_F(Arithmetic, HiAndLoMoveWholeRegisters) {
  cpu.gpr[kT0] = 0x0123456789ABCDEF;
  cpu.gpr[kT1] = 0xFEDCBA9876543210;
  run_program("mthi $t0\nmtlo $t1\nmfhi $t2\nmflo $t3");
  EXPECT_EQ(cpu.hi_reg, 0x0123456789ABCDEFu);
  EXPECT_EQ(cpu.lo_reg, 0xFEDCBA9876543210u);
  EXPECT_EQ(cpu.gpr[kT2], cpu.hi_reg);
  EXPECT_EQ(cpu.gpr[kT3], cpu.lo_reg);
}

TEST_F(Arithmetic, RegisterZeroHoldsAWrittenValueUntilTheNextInstruction) {
  cpu.gpr[kT0] = 40;
  cpu.gpr[kT1] = 2;
  load_program(kCodeAddress, "add $zero, $t0, $t1\nor $t2, $zero, $zero");
  ASSERT_EQ(step(), 0);
  EXPECT_EQ(cpu.gpr[0], 42u);
  ASSERT_EQ(step(), 0);
  EXPECT_EQ(cpu.gpr[kT2], 0u);
  EXPECT_EQ(cpu.gpr[0], 0u);
}

}  // namespace
