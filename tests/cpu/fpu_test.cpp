// The complete model's FPU where a user-mode yardstick cannot show it, or where the VR4300 parts
// from qemu's FPU on purpose: the register pairs of FR=0, Coprocessor Unusable, the floating-point
// exception and its unwritten destination, the unimplemented operations, the likely branches and
// the host's own floating point kept out. The arithmetic is checked against qemu
// (tests/cli/qemu_fpu_differential_test.cpp).
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/r4300i/fpu_arithmetic.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

using namespace r4300i;

constexpr uint32_t kFpuOn = kStatusCU1;
constexpr uint32_t kFcsrCause = 0x3F << 12;
constexpr uint32_t kEnableInvalid = 16 << 7;
constexpr uint32_t kEnableDivisionByZero = 8 << 7;
constexpr uint32_t kEnableUnderflow = 2 << 7;
constexpr uint32_t kFlushSubnormals = 1 << 24;

class Fpu : public CompleteModelTest {
 protected:
  void SetUp() override {
    CompleteModelTest::SetUp();
    cpu.cp0[kStatus] = kFpuOn | kStatusFR;
  }

  bool took(Exception code) const {
    return cpu.pc == kExceptionVector && exception_code() == static_cast<uint32_t>(code);
  }
  uint32_t cause() const { return (cpu.fcr31 & kFcsrCause) >> 12; }
};

TEST_F(Fpu, WithFrClearAnOddRegisterIsTheHighHalfOfTheEvenOne) {
  cpu.cp0[kStatus] = kFpuOn;
  run({"lui $t0, 0x3f80",  // 1.0f
       "lui $t1, 0x4000",  // 2.0f
       "mtc1 $t0, $f4", "mtc1 $t1, $f5",
       "add.s $f7, $f5, $f4",  // 3.0f into the high half of f6
       "mfc1 $t2, $f7",
       "dmtc1 $t0, $f9",  // an odd 64-bit access reaches f8
       "cfc1 $t3, $0"});
  EXPECT_EQ(cpu.fpr[4].bits, 0x400000003F800000u);
  EXPECT_EQ(cpu.fpr[5].bits, 0u);
  EXPECT_EQ(cpu.fpr[6].bits >> 32, 0x40400000u);
  EXPECT_EQ(cpu.gpr[kT2], 0x40400000u);
  EXPECT_EQ(cpu.fpr[8].bits, 0x3F800000u);
  EXPECT_EQ(cpu.fpr[9].bits, 0u);
  EXPECT_EQ(cpu.gpr[kT3], 0x0B00u);  // FCR0: the VR4300's FPU

  // With FR set the same words reach 32 registers of their own.
  cpu.cp0[kStatus] = kFpuOn | kStatusFR;
  run({"lui $t0, 0xbf80", "mtc1 $t0, $f5", "dmfc1 $t1, $f4", "mfc1 $t2, $f5"});
  EXPECT_EQ(cpu.gpr[kT1], 0x400000003F800000u);
  EXPECT_EQ(cpu.gpr[kT2], 0xFFFFFFFFBF800000u);
  EXPECT_EQ(cpu.fpr[5].bits, 0xBF800000u);
}

TEST_F(Fpu, EveryInstructionFindsTheFpuUnusableWithoutCu1) {
  for (const char* line : {"lwc1 $f2, 0($zero)", "sdc1 $f2, 3($zero)", "mtc1 $t0, $f1",
                           "dmfc1 $t1, $f2", "ctc1 $t0, $31", "add.d $f0, $f2, $f4",
                           "c.eq.s $f0, $f2", "bc1t 1f\n nop\n1:", ".word 0x46800021"}) {
    SCOPED_TRACE(line);
    reset_all_state();
    SetUp();
    cpu.cp0[kStatus] = kStatusCU0 | kStatusFR;  // CU1 clear, even in kernel mode
    cpu.gpr[kT1] = 0x5AFE;
    run({line}, 1);
    EXPECT_TRUE(took(Exception::coprocessor_unusable));
    EXPECT_EQ((cpu.cp0[kCause] & kCauseCoprocessor) >> 28, 1u);
    EXPECT_EQ(cpu.cp0[kEpc], kCodeAddress);
    EXPECT_EQ(cpu.gpr[kT1], 0x5AFEu);
  }
}

// An enabled condition, and an unimplemented operation whatever the enables, take the exception
// before the destination or the flags change; Cause shows the conditions.
TEST_F(Fpu, TrapsLeaveTheDestinationAndFlagsAndShowTheCause) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;  // the last one traps; f2 holds 1.0, f4 0.0
    uint32_t enables;
    uint32_t cause;
  };
  const Case cases[] = {
      {"division by zero, enabled", {"div.d $f6, $f2, $f4"}, kEnableDivisionByZero, 8},
      {"0/0, invalid enabled", {"div.d $f6, $f4, $f4"}, kEnableInvalid, 16},
      {"a subnormal operand",
       {"ori $t0, $zero, 1", "dmtc1 $t0, $f8", "add.d $f6, $f8, $f2"},
       0,
       32},
      {"a quiet NaN operand",
       {"lui $t0, 0x7f80", "ori $t0, $t0, 1", "mtc1 $t0, $f8", "mul.s $f6, $f8, $f8"},
       0,
       32},
      {"a NaN to an integer", {"lui $t0, 0x7fc0", "mtc1 $t0, $f8", "cvt.w.s $f6, $f8"}, 0, 32},
      {"a word out of range", {"lui $t0, 0x4f00", "mtc1 $t0, $f8", "trunc.w.s $f6, $f8"}, 0, 32},
      {"a long beyond 2^53",
       {"lui $t0, 0x4340", "dsll32 $t0, $t0, 0", "dmtc1 $t0, $f8", "cvt.l.d $f6, $f8"},
       0,
       32},
      {"a subnormal result without FS",
       {"lui $t0, 0x0080", "mtc1 $t0, $f8", "mul.s $f6, $f8, $f8"},
       0,
       32},
      {"a subnormal result with FS, underflow enabled",
       {"lui $t0, 0x0080", "mtc1 $t0, $f8", "mul.s $f6, $f8, $f8"},
       kFlushSubnormals | kEnableUnderflow,
       32},
      {"a function the FPU lacks", {".word 0x46000010"}, 0, 32},  // function 16 of S
      {"CVT.D.D", {".word 0x462041a1"}, 0, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reset_all_state();
    SetUp();
    cpu.fpr[2] = 1.0;
    cpu.fpr[4] = 0.0;
    cpu.fpr[6].bits = 0x5AFE;
    cpu.fcr31 = c.enables | 3;  // rounding down
    run(c.lines);
    EXPECT_TRUE(took(Exception::floating_point));
    EXPECT_EQ(cpu.cp0[kEpc], address_of(c.lines.size() - 1));
    EXPECT_EQ(cpu.fpr[6].bits, 0x5AFEu);
    EXPECT_EQ(cause(), c.cause);
    EXPECT_EQ(cpu.fcr31 & ~kFcsrCause, c.enables | 3);  // no flag raised
  }
}

TEST_F(Fpu, InADelaySlotTheTrapNamesTheBranch) {
  cpu.fpr[2] = 1.0;
  cpu.fpr[6].bits = 0x5AFE;
  cpu.fcr31 = kEnableDivisionByZero;
  run({"nop", "bc1f 1f", "div.d $f6, $f2, $f4", "nop", "1: nop"}, 3);
  EXPECT_TRUE(took(Exception::floating_point));
  EXPECT_EQ(cpu.cp0[kEpc], address_of(1));
  EXPECT_NE(cpu.cp0[kCause] & kCauseBD, 0u);
  EXPECT_EQ(cpu.fpr[6].bits, 0x5AFEu);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
}

TEST_F(Fpu, WithFsAndTheEnablesClearAnUnderflowFlushesAsTheRoundingGoes) {
  struct Case {
    uint32_t rounding;
    uint32_t operand;  // squared
    uint32_t result;
  };
  const Case cases[] = {
      {0, 0x00800000, 0x00000000},
      {2, 0x00800000, 0x00800000},  // up: the smallest normal number
      {3, 0x00800000, 0x00000000},
      {3, 0x80800000, 0x00000000},  // the square is positive
  };
  for (const Case& c : cases) {
    cpu.fcr31 = kFlushSubnormals | c.rounding;
    cpu.fpr[8].bits = c.operand;
    run({"mul.s $f6, $f8, $f8"});
    EXPECT_EQ(cpu.fpr[6].bits, c.result) << c.rounding;
    EXPECT_EQ(cause(), 3u);                  // underflow and inexact
    EXPECT_EQ((cpu.fcr31 >> 2) & 0x1F, 3u);  // flagged too
  }
  cpu.fcr31 = kFlushSubnormals | 3;
  cpu.fpr[8].bits = 0x80800000;
  cpu.fpr[9].bits = 0x00800000;
  run({"mul.s $f6, $f8, $f9"});
  EXPECT_EQ(cpu.fpr[6].bits, 0x80800000u);  // down, negative: away from zero
}

TEST_F(Fpu, ASignallingNanIsInvalidAndGivesTheDefaultNan) {
  cpu.fpr[8].bits = 0x7FC00000;  // MIPS's signalling single
  cpu.fpr[9].bits = 0x7FF8000000000000;
  run({"sqrt.s $f6, $f8", "neg.d $f7, $f9", "mov.d $f10, $f9", "c.eq.s $f8, $f8"});
  EXPECT_EQ(cpu.fpr[6].bits, 0x7FBFFFFFu);
  EXPECT_EQ(cpu.fpr[7].bits, 0x7FF7FFFFFFFFFFFFu);
  EXPECT_EQ(cpu.fpr[10].bits, 0x7FF8000000000000u);  // MOV only copies
  EXPECT_EQ(cause(), 16u);
  EXPECT_EQ(cpu.fcr31 & fpu::kConditionBit, 0u);
}

TEST_F(Fpu, CtcOfACauseWithItsEnableTrapsAtOnce) {
  run({"lui $t0, 0x0001", "ori $t0, $t0, 0x0800", "ctc1 $t0, $31"});  // V cause and enable
  EXPECT_TRUE(took(Exception::floating_point));
  EXPECT_EQ(cpu.fcr31, 0x10800u);
  EXPECT_EQ(cpu.cp0[kEpc], address_of(2));

  reset_all_state();
  SetUp();
  run({"lui $t0, 0xfe7c", "ori $t0, $t0, 0x0fff", "ctc1 $t0, $31", "cfc1 $t1, $31"});
  EXPECT_EQ(cpu.gpr[kT1], 0x0FFFu);  // only the writable bits, and no trap
}

TEST_F(Fpu, LikelyBranchesRunTheirSlotOnlyWhenTaken) {
  cpu.fcr31 = fpu::kConditionBit;
  run({"bc1fl 1f", "addiu $t0, $t0, 1", "bc1tl 1f", "addiu $t1, $t1, 1", "1: nop"}, 3);
  EXPECT_EQ(cpu.gpr[kT0], 0u);  // not taken: the slot is nullified
  EXPECT_EQ(cpu.gpr[kT1], 1u);
  EXPECT_EQ(cpu.pc, address_of(4));
}

// The host's own rounding mode, flush-to-zero, denormals-are-zero and raised flags change no
// result, and the FPU leaves the host's mode as it was.
TEST_F(Fpu, TheHostsFloatingPointStateNeitherLeaksInNorOut) {
  const int rounding = std::fegetround();
  std::fesetround(FE_UPWARD);
#if defined(__SSE__)
  const unsigned csr = _mm_getcsr();
  _mm_setcsr(csr | 0x8040);
#endif
  cpu.fpr[2] = 1.0;
  cpu.fpr[4] = 3.0;
  cpu.fpr[8].bits = 1;  // the least subnormal, which is no zero
  load_program(kCodeAddress, "div.d $f6, $f2, $f4\n c.lt.d $f10, $f8");
  // The host's raised flags are not the FPU's: only the division's inexact result and the
  // comparison's subnormal (invalid) reach FCSR's flags.
  std::feraiseexcept(FE_ALL_EXCEPT);
  step(2);
  EXPECT_EQ(cpu.fpr[6].bits, 0x3FD5555555555555u);  // nearest, not up
  EXPECT_NE(cpu.fcr31 & fpu::kConditionBit, 0u);
  EXPECT_EQ((cpu.fcr31 >> fpu::kFlagsShift) & 0x1F, fpu::kInexact | fpu::kInvalid);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
#if defined(__SSE__)
  EXPECT_EQ(_mm_getcsr() & 0x8040, 0x8040u);
  _mm_setcsr(csr);
#endif
  std::fesetround(rounding);
}

}  // namespace
