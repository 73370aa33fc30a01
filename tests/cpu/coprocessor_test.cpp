#include <gtest/gtest.h>

#include "debugger/debugger_state.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "cpu/cpu_state.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using Coprocessors = InterpreterTest;

constexpr uint32_t cop0_word(uint32_t rs, uint32_t rt, uint32_t rd) {
  return 16u << 26 | rs << 21 | rt << 16 | rd << 11;
}

constexpr uint32_t cop1_word(uint32_t fmt, uint32_t fs, uint32_t fd, uint32_t funct) {
  return 17u << 26 | fmt << 21 | fs << 11 | fd << 6 | funct;
}

TEST_F(Coprocessors, Mtc0MovesAll64Bits) {
  cpu.gpr[kT0] = 0x123456789ABCDEF0;
  run_program("mtc0 $t0, $12");
  EXPECT_EQ(cpu.cp0[12], 0x123456789ABCDEF0u);
}

TEST_F(Coprocessors, EveryOtherCop0WordChangesNothingAndRunsAgain) {
  for (uint32_t rs = 0; rs < 32; ++rs) {
    if (rs == 4) continue;
    SCOPED_TRACE(rs);
    cpu.pc = 0x04000100;
    cpu.gpr[kT0] = 0x1111;
    cpu.cp0[9] = 0x2222;
    cpu.gpr[0] = 0;
    CpuState before = cpu;
    EXPECT_EQ(execute_word(cop0_word(rs, kT0, 9)), 0);
    before.current_instruction = cpu.current_instruction;
    EXPECT_TRUE(same_state(before, cpu));
  }
}

TEST_F(Coprocessors, ConversionGivesTheMagnitudeOfTheLow32BitsOfTheTruncatedValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double source, result;
  };
  const Case cases[] = {
      {2.75, 2.0},
      {-2.75, 2.0},
      {-0.5, 0.0},
      {3e9, 1294967296.0},   // low 32 bits 0xB2D05E00, negative as a 32-bit number
      {-3e9, 1294967296.0},  // low 32 bits 0x4D2FA200
      {4294967297.0, 1.0},
      {2147483648.0, -2147483648.0},  // the most negative 32-bit value has no magnitude of its own
      {-0x1p63, 0.0},                 // the most negative 64-bit value is still in range
      // Outside the 64-bit range and NaN give the most negative 64-bit value, whose low half is 0.
      {0x1p63, 0.0},
      {-0x1p64, 0.0},
      {1e300, 0.0},
      {inf, 0.0},
      {-inf, 0.0},
      {nan, 0.0},
  };
  for (uint32_t fmt : {16u, 20u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "fmt " << fmt << " source " << c.source);
      reset_all_state();
      cpu.pc = 0x04000100;
      cpu.fpr[4] = c.source;
      cpu.fpr[2] = 99.0;
      EXPECT_EQ(execute_word(cop1_word(fmt, 4, 2, 5)), 0);
      EXPECT_EQ(cpu.fpr[2], c.result);
      EXPECT_FALSE(std::signbit(cpu.fpr[2]) && c.result == 0.0);
      EXPECT_EQ(cpu.pc, 0x04000104u);
    }
  }
}

TEST_F(Coprocessors, AssembledAbsSIsTheConversion) {
  cpu.fpr[4] = -7.9;
  run_program("abs.s $f2, $f4");
  EXPECT_EQ(cpu.fpr[2], 7.0);
}

TEST_F(Coprocessors, ConversionInOtherFormatsOnlyAdvances) {
  for (uint32_t fmt = 0; fmt < 32; ++fmt) {
    if (fmt == 16 || fmt == 20) continue;
    SCOPED_TRACE(fmt);
    reset_all_state();
    cpu.pc = 0x04000100;
    cpu.fpr[4] = -2.5;
    cpu.fpr[2] = 99.0;
    CpuState before = cpu;
    EXPECT_EQ(execute_word(cop1_word(fmt, 4, 2, 5)), 0);
    before.pc += 4;
    before.current_instruction = cpu.current_instruction;
    EXPECT_TRUE(same_state(before, cpu));
  }
}

TEST_F(Coprocessors, OtherCop1FunctionsAreUnknownAndRunAgain) {
  for (uint32_t funct = 0; funct < 64; ++funct) {
    if (funct == 5) continue;
    SCOPED_TRACE(funct);
    reset_all_state();
    cpu.pc = 0x04000100;
    cpu.fpr[4] = -2.5;
    CpuState before = cpu;
    EXPECT_EQ(execute_word(cop1_word(17, 4, 2, funct)), -1);
    EXPECT_STREQ(cpu.opcode_name.c_str(), "Unknown CP");
    before.current_instruction = cpu.current_instruction;
    EXPECT_TRUE(same_state(before, cpu));
  }
  EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace
