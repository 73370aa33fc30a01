// The complete model's exceptions, ERET, the timer interrupt and LL/SC: what a user-mode
// yardstick such as qemu cannot show. Everything else the model computes is checked against qemu
// (tests/cli/qemu_differential_test.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "machine/execution.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/mips_assembler.h"

namespace {

using namespace r4300i;

constexpr uint64_t kNoAddress = UINT64_MAX;
constexpr uint32_t kUserMode = kStatusUser;

using R4300iExceptions = CompleteModelTest;

TEST_F(R4300iExceptions, EachTakesTheVectorWithItsCodeAndLeavesItsDestinationAlone) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;  // the last one raises the exception
    Exception code;
    uint32_t status = 0;
    uint64_t bad_address = kNoAddress;
    unsigned coprocessor = 0;
  };
  const Case cases[] = {
      {"add overflows",
       {"lui $t0, 0x7fff", "ori $t0, $t0, 0xffff", "add $t1, $t0, $t0"},
       Exception::overflow},
      {"daddi overflows",
       {"daddiu $t0, $zero, -1", "dsrl $t0, $t0, 1", "daddi $t1, $t0, 1"},
       Exception::overflow},
      {"sub overflows",
       {"lui $t0, 0x8000", "ori $t2, $zero, 1", "sub $t1, $t0, $t2"},
       Exception::overflow},
      {"lw misaligned",
       {"lui $t0, 0x8000", "lw $t1, 2($t0)"},
       Exception::address_error_load,
       0,
       0xFFFFFFFF80000002},
      {"lh misaligned",
       {"lui $t0, 0x8000", "lh $t1, 1($t0)"},
       Exception::address_error_load,
       0,
       0xFFFFFFFF80000001},
      {"sd misaligned",
       {"lui $t0, 0x8000", "sd $t1, 4($t0)"},
       Exception::address_error_store,
       0,
       0xFFFFFFFF80000004},
      {"address not sign-extended",
       {"ori $t0, $zero, 1", "dsll32 $t0, $t0, 0", "lb $t1, 0($t0)"},
       Exception::address_error_load,
       0,
       0x100000000},
      {"syscall", {"syscall"}, Exception::syscall},
      {"break", {"break 7"}, Exception::breakpoint},
      {"teq of equals", {"teq $zero, $zero"}, Exception::trap},
      {"tgei", {"ori $t0, $zero, 9", "tgei $t0, 9"}, Exception::trap},
      {"a reserved opcode", {".word 0x7C000000"}, Exception::reserved_instruction},
      {"a reserved SPECIAL function", {".word 0x00000005"}, Exception::reserved_instruction},
      {"the absent FPU", {"lwc1 $f2, 0($zero)"}, Exception::coprocessor_unusable, 0, kNoAddress, 1},
      {"coprocessor 2", {".word 0x48000000"}, Exception::coprocessor_unusable, 0, kNoAddress, 2},
      {"user mode: mfc0 without CU0",
       {"mfc0 $t1, $12"},
       Exception::coprocessor_unusable,
       kUserMode},
      {"user mode: a kernel address",
       {"lui $t0, 0x8000", "lw $t1, 0($t0)"},
       Exception::address_error_load,
       kUserMode,
       0xFFFFFFFF80000000},
      {"user mode: a doubleword op without UX",
       {"daddu $t1, $zero, $zero"},
       Exception::reserved_instruction,
       kUserMode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reset_all_state();
    SetUp();
    cpu.cp0[kStatus] = c.status;
    cpu.gpr[kT1] = 0x5AFE;
    run(c.lines);
    EXPECT_EQ(exception_code(), static_cast<uint32_t>(c.code));
    EXPECT_EQ(cpu.pc, 0x80000180u);
    EXPECT_EQ(cpu.cp0[kEpc], address_of(c.lines.size() - 1));
    EXPECT_EQ(cpu.cp0[kCause] & kCauseBD, 0u);
    EXPECT_EQ((cpu.cp0[kCause] & kCauseCoprocessor) >> 28, c.coprocessor);
    EXPECT_NE(cpu.cp0[kStatus] & kStatusEXL, 0u);
    if (c.bad_address != kNoAddress) {
      EXPECT_EQ(cpu.cp0[kBadVAddr], c.bad_address);
    }
    EXPECT_EQ(cpu.gpr[kT1], 0x5AFEu);
  }
}

TEST_F(R4300iExceptions, InADelaySlotEpcIsTheBranchAndBdIsSet) {
  for (const char* branch : {"beq $zero, $zero, 1f", "bne $zero, $zero, 1f", "jal 0x04000100"}) {
    SCOPED_TRACE(branch);
    reset_all_state();
    SetUp();
    run({"nop", branch, "syscall", "1: nop"}, 3);
    EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::syscall));
    EXPECT_EQ(cpu.cp0[kEpc], address_of(1));
    EXPECT_NE(cpu.cp0[kCause] & kCauseBD, 0u);
    EXPECT_EQ(cpu.pc, 0x80000180u);
    EXPECT_EQ(cpu.delay_slot_pending, 0);
  }
}

TEST_F(R4300iExceptions, WithExlSetEpcStaysAndBevChoosesTheBootVector) {
  cpu.cp0[kStatus] = kStatusEXL | kStatusBEV;
  cpu.cp0[kEpc] = 0x1234;
  cpu.cp0[kCause] = kCauseBD;
  run({"break"});
  EXPECT_EQ(cpu.pc, 0xBFC00380u);
  EXPECT_EQ(cpu.cp0[kEpc], 0x1234u);
  EXPECT_NE(cpu.cp0[kCause] & kCauseBD, 0u);
  EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::breakpoint));
}

TEST_F(R4300iExceptions, EretReturnsThroughErrorEpcUnderErlElseEpcAndClearsTheLlBit) {
  cpu.cp0[kStatus] = kStatusERL | kStatusEXL;
  cpu.cp0[kErrorEpc] = 0xFFFFFFFF80000400;
  cpu.cp0[kEpc] = 0xFFFFFFFF80000800;
  cpu.ll_bit = 1;
  run({"eret"});
  EXPECT_EQ(cpu.pc, 0x80000400u);
  EXPECT_EQ(cpu.cp0[kStatus], kStatusEXL);
  EXPECT_EQ(cpu.ll_bit, 0);

  place_words(0x80000400, assemble("eret"));
  step();
  EXPECT_EQ(cpu.pc, 0x80000800u);
  EXPECT_EQ(cpu.cp0[kStatus], 0u);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
}

TEST_F(R4300iExceptions, ScStoresOnlyWhileTheLlBitHoldsWhichEretClears) {
  cpu.cp0[kStatus] = kStatusEXL;
  cpu.cp0[kEpc] = kCodeAddress + 16;
  run({"lui $t0, 0x8000", "ll $t1, 0x40($t0)", "ori $t2, $zero, 7", "sc $t2, 0x40($t0)",
       "ori $t3, $zero, 9", "eret"});
  EXPECT_EQ(cpu.gpr[kT2], 1u);  // stored
  EXPECT_EQ(cpu.cp0[kLLAddr], 0x40u >> 4);
  load_program(kCodeAddress + 16, "sc $t3, 0x40($t0)\nlw $t2, 0x40($t0)\n");
  step(2);
  EXPECT_EQ(cpu.gpr[kT3], 0u);  // failed after the ERET
  EXPECT_EQ(cpu.gpr[kT2], 7u);  // the word as the first SC left it
}

TEST_F(R4300iExceptions, CountReachingCompareInterruptsOnceEnabledAndWritingCompareClearsIt) {
  load_program(kCodeAddress, "loop:\n  b loop\n  addiu $t0, $t0, 1\n");
  cpu.cp0[kCount] = 100;
  cpu.cp0[kCompare] = 104;
  cpu.cp0[kStatus] = kStatusIE | kCauseTimerPending;  // IM7 has IP7's place
  for (int i = 0; i < 4; ++i) execution.step();
  EXPECT_EQ(cpu.cp0[kCause] & kCauseTimerPending, 0u);
  EXPECT_EQ(cpu.pc, kCodeAddress);  // after the branch's slot, the loop again
  execution.step();                 // Count 104: taken instead of the branch
  EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::interrupt));
  EXPECT_NE(cpu.cp0[kCause] & kCauseTimerPending, 0u);
  EXPECT_EQ(cpu.cp0[kEpc], kCodeAddress);
  EXPECT_EQ(cpu.pc, 0x80000180u);
  EXPECT_EQ(cpu.gpr[kT0], 2u);

  place_words(0x80000180, assemble("mtc0 $zero, $11\neret"));
  execution.step();
  EXPECT_EQ(cpu.cp0[kCause] & kCauseTimerPending, 0u);
  execution.step();
  EXPECT_EQ(cpu.pc, kCodeAddress);
}

TEST_F(R4300iExceptions, Cop0WritesKeepReadOnlyBitsAndWordRegistersReadSignExtended) {
  cpu.cp0[kPrId] = kProcessorId;
  run({"daddiu $t0, $zero, -1", "mtc0 $t0, $13", "mtc0 $t0, $15", "dmtc0 $t0, $14",
       "lui $t1, 0x8000", "mtc0 $t1, $11", "mfc0 $t2, $11", "dmfc0 $t3, $14", "mfc0 $t4, $15"});
  EXPECT_EQ(cpu.cp0[kCause], 0x300u);  // only the software interrupts are writable
  EXPECT_EQ(cpu.cp0[kPrId], kProcessorId);
  EXPECT_EQ(cpu.cp0[kCompare], 0x80000000u);
  EXPECT_EQ(cpu.gpr[kT2], 0xFFFFFFFF80000000u);
  EXPECT_EQ(cpu.gpr[kT3], UINT64_MAX);   // EPC holds 64 bits
  EXPECT_EQ(cpu.gpr[12], kProcessorId);  // t4
}

TEST_F(R4300iExceptions, AJumpToAnUnalignedAddressFaultsOnTheFetchThere) {
  run({"lui $t0, 0x8000", "ori $t0, $t0, 0x102", "jr $t0", "nop", "nop"});
  EXPECT_EQ(exception_code(), static_cast<uint32_t>(Exception::address_error_load));
  EXPECT_EQ(cpu.cp0[kEpc], 0xFFFFFFFF80000102u);
  EXPECT_EQ(cpu.cp0[kBadVAddr], 0xFFFFFFFF80000102u);
  EXPECT_EQ(cpu.cp0[kCause] & kCauseBD, 0u);
}

}  // namespace
