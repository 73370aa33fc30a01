// The faster engines against the exact path under the complete processor model, stop for stop:
// delay slots of every jump and branch, exceptions where the interpreter raises them, the timer
// interrupt, stores into code and the stop addresses reached through delay slots.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cpu/cpu_state.h"
#include "cpu/interpreter.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "machine/engines/engine_operations.h"
#include "machine/engines/engine_set.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "tests/support/core_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/engine_differential.h"
#include "tests/support/mips_assembler.h"

namespace {

// The programs run from RDRAM, where boot code jumps; their data lies from 0x80000400 on.
constexpr uint32_t kCodeAddress = 0x80001000;
constexpr uint32_t kInterruptsOn = r4300i::kStatusIE | 1u << 15;  // IE and IM7, the timer's

// At the exception vectors, the general one and the TLB refill's: the timer's interrupt sets the
// next one 29 counts on (which also clears it), counts itself in $v1 and returns; any other
// exception returns past the word that raised it, and past its branch too in a delay slot.
constexpr const char* kHandler = R"(
      mfc0 $k0, $13
      andi $k1, $k0, 0x7C
      bne $k1, $zero, fault
      mfc0 $k1, $14
      mfc0 $k0, $9
      addiu $k0, $k0, 29
      mtc0 $k0, $11
      addiu $v1, $v1, 1
      eret
  fault:
      bgez $k0, past
      addiu $k1, $k1, 4
      addiu $k1, $k1, 4
  past:
      mtc0 $k1, $14
      eret
)";

// Ends a program at the breakpoint address, through a register the handler leaves alone.
constexpr const char* kToBreakpoint = "\n lui $at, 0x0400\n ori $at, $at, 0xB0\n jr $at\n nop\n";

class CompleteModelMatchesExact : public CoreTest, public ::testing::WithParamInterface<Engine> {
 protected:
  // `code` at kCodeAddress, in kernel mode with the handler in place.
  DifferentialProgram program(const std::vector<uint32_t>& code, uint32_t status = 0,
                              uint32_t compare = 0) {
    DifferentialProgram program;
    program.model = CpuModel::r4300i;
    program.boot_code = assemble("lui $at, 0x8000\n ori $at, $at, 0x1000\n jr $at\n nop");
    program.longest_limit = 150;
    program.prepare = [code, handler = assemble(kHandler), status, compare] {
      place_words(kCodeAddress, code);
      place_words(r4300i::kExceptionVector, handler);
      place_words(r4300i::kExceptionBase, handler);
      cpu.cp0[r4300i::kStatus] = status;
      cpu.cp0[r4300i::kCompare] = compare;
      // With ERL clear KUSEG is mapped: the boot code runs through KSEG1.
      cpu.pc |= kKseg1First;
    };
    return program;
  }
  void expect_same(const DifferentialProgram& program) {
    expect_engine_matches_exact(GetParam(), program, recorder);
  }
  void expect_same(const std::string& source, uint32_t status = 0, uint32_t compare = 0,
                   int longest_limit = 150) {
    DifferentialProgram complete = program(assemble(source + kToBreakpoint), status, compare);
    complete.longest_limit = longest_limit;
    expect_same(complete);
  }
};

TEST_P(CompleteModelMatchesExact, DelaySlotsOfEveryJumpAndBranch) {
  expect_same(R"(
      lui $sp, 0x8000
      ori $sp, $sp, 0x0800
      addiu $t0, $zero, 3
  loop:
      jal 0x80001200
      addiu $a0, $t0, 5           # in JAL's slot
      addiu $t0, $t0, -1
      bgtz $t0, loop
      sll $t1, $t0, 2             # runs either way
      beql $t0, $zero, 1f
      addiu $t2, $t2, 1           # runs: taken
      addiu $t2, $t2, 1000
  1:  bnel $t0, $zero, 1f
      addiu $t2, $t2, 100         # skipped: not taken
  1:  blez $t1, 1f
      addiu $t3, $t3, 1
  1:  bltz $t1, 1f
      addiu $t3, $t3, 2
      bgez $t2, 1f
      addiu $t3, $t3, 4
  1:  blezl $t2, 1f
      addiu $t3, $t3, 8
      bgtzl $t2, 1f
      addiu $t3, $t3, 16
  1:  bltzl $t2, 1f
      addiu $t3, $t3, 32
      bgezl $t2, 1f
      addiu $t3, $t3, 64
  1:  beq $t0, $t1, 1f
      nop
  1:  bne $t0, $t1, 1f
      addu $zero, $t3, $t3        # a write to register 0 is never seen
  1:  lui $t4, 0x8000
      ori $t4, $t4, 0x1240
      jalr $t4
      addiu $t5, $t5, 7
      ori $t4, $t4, 0x1260
      jalr $s0, $t4               # links into $s0, through which it returns
      lui $zero, 0x1234
      ori $t4, $t4, 0x1270
      .word 0x01806009            # jalr $t4, $t4: links into its own target register
      nop
      j 0x80001280
      addiu $t6, $t6, 1
      .org 0x200
      sw $a0, 0($sp)
      lw $t7, 0($sp)
      jr $ra
      addu $t8, $t8, $t7          # in JR's slot
      .org 0x240
      jr $ra
      addiu $t9, $t9, 3
      .org 0x260
      jr $s0
      addiu $t9, $t9, 5
      .org 0x270
      jr $t4
      nop
      .org 0x280
  )");
}

TEST_P(CompleteModelMatchesExact, ExceptionsLeaveWhereTheInterpreterRaisesThem) {
  expect_same(R"(
      lui $t0, 0x7FFF
      ori $t0, $t0, 0xFFFF
      lui $s0, 0x8000
      add $t1, $t0, $t0           # overflows
      addiu $t2, $zero, 2
      beq $zero, $zero, 1f
      add $t3, $t0, $t0           # overflows in a taken branch's slot
      addiu $t4, $t4, 1
  1:  lw $t5, 2($s0)              # misaligned
      bne $zero, $zero, 1f
      sh $t5, 1($s0)              # misaligned in a branch's slot, not taken
  1:  addi $t6, $t0, 1
      sub $t7, $s0, $t0
      syscall
      break
      dsll32 $t8, $t2, 0
      lb $t9, 0($t8)              # not a sign-extended address
      lw $t9, 1($t0)              # nor is 0x7FFFFFFF + 1, KSEG0's by its low half
      ori $a0, $zero, 0x8000
      dsll $a0, $a0, 16
      sw $t9, 0x400($a0)
      teq $zero, $zero
      sd $t0, 0x408($s0)
      ld $a0, 0x408($s0)
      sb $t0, 0x411($s0)
      lbu $a1, 0x411($s0)
      lb $a2, 0x411($s0)
      sh $t0, 0x412($s0)
      lhu $a3, 0x412($s0)
      lh $v0, 0x412($s0)
      lwu $s1, 0x40C($s0)
      ll $s2, 0x408($s0)
      sc $s2, 0x408($s0)
      lw $s3, 0x400($zero)        # KUSEG, which no TLB entry maps: a refill
      jal 0x80001100
      add $s4, $t0, $t0           # overflows in JAL's slot
      .org 0x100
      addiu $s5, $s5, 1
  )",
              0, 0, 200);
}

// A register that only 32-bit arithmetic and narrow stores use goes into the machine
// sign-extended however a block leaves: $t0 holds a value that is not a sign-extended word on the
// way in, and an overflow leaves each loop's block before the ADDIU that changes it, in its
// second time round (the sum sign-extended) and in its first (the value as it came); $t1 goes
// so across a word's store.
TEST_P(CompleteModelMatchesExact, RegistersLeftUnextendedGoIntoTheMachineExtended) {
  expect_same(R"(
      lui $t6, 0x7FFF
      ori $t6, $t6, 0xFFFE
      addiu $t0, $zero, 1
      dsll32 $t0, $t0, 0
      lui $t1, 0x7FFF
      ori $t1, $t1, 0xFFFF
      daddu $t0, $t0, $t1         # 0x17FFFFFFF
      lui $s0, 0x8000
      addiu $t7, $zero, 5
  1:  add $t4, $t5, $t6           # overflows once $t5 is 2
      addiu $t0, $t0, 1
      addiu $t1, $t1, 1
      sw $t1, 0x400($s0)
      addiu $t5, $t5, 1
      bne $t5, $t7, 1b
      nop
      addiu $t5, $zero, 2
      beq $zero, $zero, 2f        # a block of its own from the loop's start
      daddu $t0, $t0, $t0
  2:  add $t4, $t5, $t6           # overflows at once
      addiu $t0, $t0, 1
      addiu $t5, $t5, 1
      bne $t5, $t7, 2b
      nop
  )",
              0, 0, 250);
}

// The FPU's instructions among words the fast engines run themselves: its branches and their
// slots, a floating-point exception in a slot, FPU words in a JR's and a JAL's slots, a block run
// again after Status's FR has changed under it, and with CU1 clear the Coprocessor Unusable
// exceptions.
TEST_P(CompleteModelMatchesExact, FpuInstructions) {
  const std::string program = R"(
      lui $s0, 0x8000
      lui $t0, 0x3f80
      mtc1 $t0, $f0               # 1.0f
      cvt.d.s $f2, $f0
      addiu $t1, $zero, 4
  loop:
      add.d $f4, $f4, $f2
      div.d $f6, $f2, $f4
      c.lt.d $f6, $f2
      bc1t 1f
      mul.d $f8, $f6, $f6         # in BC1T's slot
      addiu $t2, $t2, 1
  1:  bc1fl 1f
      addiu $t3, $t3, 1           # skipped: not taken
  1:  sdc1 $f6, 0x400($s0)
      lwc1 $f11, 0x404($s0)
      addiu $t1, $t1, -1
      bne $t1, $zero, loop
      dmfc1 $t4, $f6              # in BNE's slot
      ori $t5, $zero, 0x0e00      # division by zero, invalid and overflow enabled
      ctc1 $t5, $31
      beq $zero, $zero, 1f
      div.d $f12, $f2, $f14       # traps in a slot
  1:  cvt.w.d $f13, $f6
      mfc1 $t6, $f13
      cfc1 $t7, $31
      sqrt.s $f15, $f0
      trunc.l.d $f16, $f8
      ctc1 $zero, $31
      mfc0 $t8, $12               # left to the exact path: the faster engines begin again after
      jal 0x80001200              # fpwork: the words are not linked
      mtc1 $t1, $f1               # in JAL's slot
      lui $t9, 0x0400             # FR
      xor $t8, $t8, $t9
      mtc0 $t8, $12
      lui $t8, 0x4040             # 3.0
      jal 0x80001200              # fpwork: the words are not linked
      mtc1 $t8, $f1
      beq $zero, $zero, done
      nop
      .org 0x200
  fpwork:
      add.s $f3, $f0, $f1
      swc1 $f3, 0x408($s0)
      ldc1 $f18, 0x400($s0)
      dmtc1 $t4, $f20
      mfc1 $s1, $f3
      c.eq.s $f3, $f3
      bc1t 1f
      c.lt.s $f0, $f3             # changes the condition BC1T tests, in its slot
      addiu $s2, $s2, 1
  1:  jr $ra
      mov.s $f5, $f3              # in JR's slot
  done:
  )";
  expect_same(program, r4300i::kStatusCU1 | r4300i::kStatusFR, 0, 300);
  expect_same(program, r4300i::kStatusCU1, 0, 300);
  expect_same(program, 0, 0, 300);
}

// The FPU's arithmetic, roots, conversions and comparisons on values at the edges of what the fast
// engines compute themselves (zeros, subnormals, infinities, NaNs, the largest and smallest
// normals, sums that round or cancel), in every rounding mode and with the inexact exception
// enabled, in both of Status's FR settings.
TEST_P(CompleteModelMatchesExact, FpuArithmeticAtTheEdges) {
  const std::vector<uint32_t> singles = {0x3F800000, 0xBFC00000, 0x00000000, 0x80000000,
                                         0x00000001, 0x7F800000, 0x7FC00000, 0x7F7FFFFF,
                                         0x00800000, 0x01000000, 0x3F800001, 0x4B800000,
                                         0x0DA24260, 0x7F000000, 0x3F8CCCCD, 0x33800000};
  const std::vector<uint64_t> doubles = {0x3FF0000000000000,
                                         0xBFF8000000000000,
                                         0,
                                         0x8000000000000000,
                                         1,
                                         0x7FF0000000000000,
                                         0x7FF8000000000000,
                                         0x7FEFFFFFFFFFFFFF,
                                         0x0010000000000000,
                                         0x0400000000000000,
                                         0x3FF0000000000001,
                                         0x4340000000000000,
                                         0x3CA0000000000000,
                                         0x7C00000000000000,
                                         0x3FF199999999999A,
                                         0x0400000000000001};
  std::vector<uint32_t> data = singles;
  for (uint64_t d : doubles) {
    data.push_back(static_cast<uint32_t>(d >> 32));
    data.push_back(static_cast<uint32_t>(d));
  }
  std::mt19937 random(20261211);
  const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const auto reg = [&](bool wide) { return "$f" + std::to_string((wide ? 16 : 0) + 2 * pick(8)); };
  // "cvt" converts to the other format.
  const char* functions[] = {"add",   "sub",  "mul",  "div",  "add",     "sub",    "mul",
                             "sqrt",  "mov",  "c.eq", "c.lt", "c.le",    "c.ult",  "c.ngt",
                             "c.seq", "c.un", "cvt",  "cvt",  "cvt.s.w", "cvt.d.w"};
  // Each operation on two values of the table (by their indices), loaded afresh; a block ends
  // after it, where a stop sees what it left in FCSR.
  const auto operation = [&](std::string function, bool wide, uint32_t a, uint32_t b) {
    const std::string fs = reg(wide), load = wide ? "ldc1 " : "lwc1 ";
    std::string ft = reg(wide);
    while (ft == fs) ft = reg(wide);
    const auto offset = [&](uint32_t index) {
      return std::to_string(wide ? 0x440 + 8 * index : 0x400 + 4 * index);
    };
    std::string words =
        load + fs + ", " + offset(a) + "($s0)\n" + load + ft + ", " + offset(b) + "($s0)\n";
    if (function == "cvt") {
      words += wide ? "cvt.s.d " : "cvt.d.s ";
    } else {
      words += function + (function.ends_with(".w") ? " " : wide ? ".d " : ".s ");
    }
    if (function.starts_with("c.")) {
      words += fs + ", " + ft + "\nbc1t 1f\nnop\naddiu $t2, $t2, 1\n1:\n";
    } else if (function == "mov" || function == "sqrt" || function.starts_with("cvt")) {
      words += reg(wide) + ", " + fs + "\n";
    } else {
      words += reg(wide) + ", " + fs + ", " + ft + "\n";
    }
    return words + "beq $zero, $zero, 1f\nnop\n1:\n";
  };
  // FCSR set, then a word left to the exact path, after which the translator runs the next.
  const auto set_fcsr = [](uint32_t value) {
    return "ori $t0, $zero, " + std::to_string(value) + "\nctc1 $t0, $31\nmfc0 $t9, $12\n";
  };
  // Where the quick way's reasoning is finest: a sum whose error double cannot hold, products
  // just below the least normal, above the largest and so small that they round to zero, a
  // subnormal operand, a quotient that overflows, an inexact root, conversions that round toward
  // zero or trap on an inexact result, a product rounded up and down.
  const std::string directed[] = {operation("sub", false, 14, 8),
                                  operation("add", false, 0, 12),
                                  operation("mul", false, 9, 15),
                                  operation("mul", false, 7, 14),
                                  operation("add", false, 0, 4),
                                  operation("mul", false, 9, 9),
                                  operation("div", false, 7, 12),
                                  operation("sqrt", false, 14, 0),
                                  set_fcsr(1) + operation("cvt", true, 14, 0),
                                  set_fcsr(0x80) + operation("cvt.s.w", false, 10, 0),
                                  set_fcsr(2) + operation("mul", false, 14, 14),
                                  set_fcsr(3) + operation("mul", false, 14, 14)};
  // Short programs, each stop of which the differential run can afford to compare.
  for (int round = 0; round < 12; ++round) {
    const uint32_t status = r4300i::kStatusCU1 | (round % 2 == 0 ? r4300i::kStatusFR : 0);
    std::string source = "lui $s0, 0x8000\n";
    if (round < static_cast<int>(std::size(directed))) source += directed[round];
    for (int i = 0; i < 20; ++i) {
      if (pick(30) == 0) {  // a rounding mode, and now and then the inexact exception enabled
        source += set_fcsr(pick(4) | (pick(3) == 0 ? 0x80 : 0));
      }
      const std::string function = functions[pick(std::size(functions))];
      const bool wide = pick(2) == 0 && !function.ends_with(".w");  // words load as singles
      source += operation(function, wide, pick(16), pick(16));
    }
    DifferentialProgram edges = program(assemble(source + kToBreakpoint), status);
    edges.prepare = [base = edges.prepare, data] {
      base();
      place_words(0x80000400, data);
      cpu.fcr31 = 0;
    };
    edges.longest_limit = 250;
    expect_same(edges);
  }
}

// A floating-point loop stays in the decoded engine for as long as its budget lasts, its loads,
// stores, arithmetic, compares and branches alike, while the FPU is usable; unusable, its first
// FPU word raises Coprocessor Unusable there, and the batch ends at the vector.
TEST_F(CoreTest, TheDecodedEngineRunsAFloatingPointLoopItself) {
  choose_cpu_model(CpuModel::r4300i);
  place_words(kCodeAddress, assemble(R"(
      lui $s0, 0x8000
      lui $t0, 0x3f80
      mtc1 $t0, $f2
  loop:
      lwc1 $f0, 0x400($s0)
      add.s $f0, $f0, $f2
      swc1 $f0, 0x400($s0)
      c.lt.s $f0, $f2
      bc1f loop
      nop
  )"));
  for (const uint32_t status : {r4300i::kStatusCU1, 0u}) {
    cpu.pc = kCodeAddress;
    cpu.cp0[r4300i::kStatus] = status;
    EXPECT_EQ(engines.decoded.run(1000, nullptr).instructions, status ? 1000u : 3u) << status;
  }
  EXPECT_EQ(cpu.pc, r4300i::kExceptionVector);
}

TEST_P(CompleteModelMatchesExact, TheTimerInterrupt) {
  // Interrupts come every 29 counts or so, in delay slots too; then they are turned off while
  // Count passes Compare, which leaves the interrupt pending until they are on again.
  expect_same(R"(
      addiu $t0, $zero, 40
  loop:
      addiu $t1, $t1, 1
      addiu $t0, $t0, -1
      bne $t0, $zero, loop
      addu $t2, $t2, $t1
      mtc0 $zero, $12
      mfc0 $t3, $9
      addiu $t3, $t3, 5
      mtc0 $t3, $11
      addiu $t0, $zero, 8
  1:  addiu $t0, $t0, -1
      bgtzl $t0, 1b
      addiu $t4, $t4, 1
      mfc0 $t5, $13
      ori $t3, $zero, 0x8001
      mtc0 $t3, $12
      addiu $t6, $t6, 1
  )",
              kInterruptsOn, 23, 260);
}

TEST_P(CompleteModelMatchesExact, StoresIntoCodeOfEveryWidth) {
  // Each round rewrites words it runs next: an immediate's low byte with SB, another's low half
  // with SH, and with SD a branch's slot and the first word of the block after it. Stale copies
  // would add the wrong amounts.
  expect_same(R"(
      lui $s1, 0xA000
      addiu $t0, $zero, 4
      lui $t7, 0x254A
      dsll32 $t7, $t7, 0
      lui $t6, 0x254A
      or $t7, $t7, $t6            # "addiu $t2, $t2, 0" twice, as one doubleword
      nop
      nop
  loop:
      sb $t0, 0x1027($s1)
      addiu $t1, $t1, 0           # at 0x80001024
      sh $t0, 0x102E($s1)
      addiu $t3, $t3, 0           # at 0x8000102C
      daddu $t7, $t7, $t0
      addiu $t0, $t0, -1
      sd $t7, 0x1040($s1)
      beq $zero, $zero, 1f
      addiu $t2, $t2, 0           # at 0x80001040
  1:  addiu $t2, $t2, 0
      bne $t0, $zero, loop
      nop
  )");
}

// Pages mapped through TLBWI and TLBWR, at virtual addresses whose bytes in RDRAM differ from the
// ones mapped there: fetches from a mapped page, loads and stores into one from
// KSEG0's code and from the mapped code, the same virtual page mapped to other code, a store into
// mapped code through KSEG0, an ASID that no longer matches, the refill and Modified exceptions,
// and the entry TLBWR chooses, which Random takes from the count of instructions run.
TEST_P(CompleteModelMatchesExact, MappedCodeAndData) {
  DifferentialProgram mapped = program(assemble(R"(
      ori $t0, $zero, 3
      mtc0 $t0, $0                # Index
      mtc0 $zero, $5              # 4 KB pages
      ori $t0, $zero, 0xC000
      mtc0 $t0, $10               # the pair at 0xC000, ASID 0
      ori $t0, $zero, 0xC6        # even: the code at 0x3000, valid and dirty
      mtc0 $t0, $2
      ori $t0, $zero, 0x186       # odd: the data at 0x6000
      mtc0 $t0, $3
      tlbwi
      ori $s0, $zero, 0xC000
      ori $s1, $s0, 0x1000
      addiu $t1, $zero, 77
      sw $t1, 0x10($s1)
      jalr $s0
      nop
      lw $t2, 0x10($s1)
      ori $t0, $zero, 0x146       # even: the code at 0x5000
      mtc0 $t0, $2
      tlbwi
      jalr $s0
      nop
      ori $t0, $zero, 0x182       # odd: valid, not dirty
      mtc0 $t0, $3
      tlbwi
      sw $t1, 0x18($s1)           # Modified
      lw $t4, 0x18($s1)
      lw $t5, 0x1000($s1)         # no entry: a refill
      ori $t0, $zero, 5
      mtc0 $t0, $10               # ASID 5
      lw $t6, 0x10($s1)           # a refill
      mtc0 $zero, $6              # Wired: Random counts from 31 again
      ori $t0, $zero, 0xE000
      mtc0 $t0, $10
      ori $t0, $zero, 0xC7        # global, at 0xE000: the code at 0x3000, the data at 0x6000
      mtc0 $t0, $2
      ori $t0, $zero, 0x187
      mtc0 $t0, $3
      addiu $t7, $zero, 9
  1:  addiu $t7, $t7, -1
      bne $t7, $zero, 1b
      nop
      tlbwr
      ori $s0, $zero, 0xE000
      ori $s1, $s0, 0x1000
      jalr $s0
      nop
      lui $t7, 0x8000
      lui $t8, 0x240B
      ori $t8, $t8, 2
      sw $t8, 0x3000($t7)         # "addiu $t3, $zero, 2" over the mapped code's first word
      jalr $s0
      sd $t2, 0x1028($s0)
      ld $t9, 0x28($s1)
  )" + std::string(kToBreakpoint)));
  mapped.longest_limit = 120;
  mapped.prepare = [prepare = mapped.prepare, a = assemble(R"(
      addiu $t3, $zero, 4
  1:  lw $t4, 0x10($s1)
      addu $t4, $t4, $t3
      sw $t4, 0x10($s1)
      addiu $t3, $t3, -1
      bne $t3, $zero, 1b
      sd $t4, 0x20($s1)
      jr $ra
      addiu $v0, $v0, 1
  )"),
                    b = assemble(R"(
      lw $t4, 0x10($s1)
      sll $t4, $t4, 1
      sw $t4, 0x10($s1)
      jr $ra
      addiu $v0, $v0, 100
  )")] {
    prepare();
    place_words(0x80003000, a);
    place_words(0x80005000, b);
  };
  expect_same(mapped);
}

// C's calls: a recursive function whose frame a run of loads and stores of every width reaches
// off $sp, returns to the JAL after the call and to elsewhere, JALs never returned from (more than
// the translator's return frames), and accesses off one base register of which one, away from the
// first, rewrites the word that runs next, that a load into the base divides, or that lie across
// a page's end.
TEST_P(CompleteModelMatchesExact, CallsReturnsAndFramesOnTheStack) {
  expect_same(R"(
      lui $sp, 0x8000
      ori $sp, $sp, 0x0F00
      addiu $a0, $zero, 6
      jal 0x80001200              # fibonacci
      nop
      or $s2, $v0, $zero
      jal 0x80001300              # returns a word further on
      nop
      addiu $s3, $s3, 1000
      addiu $s3, $s3, 1
      addiu $t0, $zero, 1100
  deep:
      jal 0x80001340
      addiu $t0, $t0, -1
  after_deep:
      addiu $a0, $zero, 5
      jal 0x80001200
      nop
      j 0x80001400
      nop
      .org 0x200
      slti $t9, $a0, 2
      bne $t9, $zero, 1f
      or $v0, $a0, $zero
      addiu $sp, $sp, -32
      sd $ra, 24($sp)
      sw $s0, 20($sp)
      sh $a0, 18($sp)
      sb $a0, 17($sp)
      or $s0, $a0, $zero
      jal 0x80001200
      addiu $a0, $a0, -1
      sw $v0, 8($sp)
      jal 0x80001200
      addiu $a0, $s0, -2
      lw $t8, 8($sp)
      lbu $t7, 17($sp)
      lh $t6, 18($sp)
      addu $v0, $v0, $t8
      addu $s4, $s4, $t7
      addu $s4, $s4, $t6
      ld $ra, 24($sp)
      lw $s0, 20($sp)
      jr $ra
      addiu $sp, $sp, 32
  1:  jr $ra
      nop
      .org 0x300
      addiu $ra, $ra, 4
      jr $ra
      nop
      .org 0x340
      bgtz $t0, deep
      nop
      b after_deep
      nop
      .org 0x400
      lui $s6, 0xA000
      lui $t5, 0x2529
      ori $t5, $t5, 7             # addiu $t1, $t1, 7
      sw $zero, 0x1FF0($s6)
      sw $t5, 0x1414($s6)
      addiu $t1, $t1, 1           # at 0x80001414, stored over
      lui $s5, 0x8000
      ori $s5, $s5, 0x2FF8
      addiu $t4, $s5, -0x100
      sw $t1, 0($t4)
      sw $t4, 0($s5)
      lw $s5, 0($s5)
      lw $t3, 0($s5)              # off the loaded base
      sw $s2, 4($s5)
      sw $s2, 0x108($s5)          # in the next page
      lw $t2, 4($s5)
  )");
}

TEST_P(CompleteModelMatchesExact, StopAddressesReachedThroughDelaySlots) {
  // JR onto the stop address stops after its slot; onto the word after, pc stands on the stop
  // address with the slot still pending; onto the word before, the run stops a word later.
  for (const char* target : {"0xA8", "0xAC", "0xA4", "0xB4"}) {
    SCOPED_TRACE(target);
    expect_same(std::string("lui $t0, 0x0400\n ori $t0, $t0, ") + target +
                "\n jalr $t0\n addiu $t1, $t1, 1");
  }
  // In SP DMEM: a likely branch not taken onto the stop address, past its slot, and a branch
  // whose continuation (its target minus 4) is the stop address.
  for (const char* source : {R"(
      addiu $t1, $zero, 3
  1:  addiu $t1, $t1, -1
      bnel $t1, $zero, 1b
      addiu $t2, $t2, 1
      .org 0x60
      bnel $t1, $t1, 1b           # at 0x040000A0
      addiu $t3, $t3, 1
  )",
                             R"(
      addiu $t1, $zero, 1
      beq $zero, $zero, 1f
      addiu $t1, $t1, 1
      .org 0x6C
  1:  nop
  )"}) {
    SCOPED_TRACE(source);
    DifferentialProgram in_dmem;
    in_dmem.model = CpuModel::r4300i;
    in_dmem.boot_code = assemble(source);
    expect_same(in_dmem);
  }
  // A user breakpoint on a jump's delay slot.
  DifferentialProgram breakpoint =
      program(assemble("jal 0x80001100\n addiu $t1, $t1, 1\n .org 0x100\n addiu $t2, $t2, 1" +
                       std::string(kToBreakpoint)));
  breakpoint.user_breakpoints = {kCodeAddress + 4};
  expect_same(breakpoint);
}

// Random words of the complete model: those the fast engines run and some they leave to the exact
// path, loads and stores of every width (now and then misaligned) into RDRAM, SP DMEM and the
// cartridge, traps, branches of every kind and jumps that only go forward, so that every program
// ends, with the timer's interrupts coming all along. No delay slot holds a jump or branch, whose
// hand-over the interpreter would cut short.
std::vector<uint32_t> random_program(std::mt19937& random) {
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  auto reg = [&] { return pick(12) + 8; };  // t0..t7, s0..s3: s0-s3 hold the bases
  std::vector<uint32_t> words = {
      0x3C108000,  // lui $s0, 0x8000   RDRAM through KSEG0
      0x3C11A400,  // lui $s1, 0xA400   SP DMEM through KSEG1
      0x3C12B000,  // lui $s2, 0xB000   the cartridge
  };
  const uint32_t special[] = {0,  2,  3,  4,  6,  7,  16, 17, 18, 19, 24, 25, 26, 27, 30, 32, 33,
                              34, 35, 36, 37, 38, 39, 42, 43, 45, 47, 56, 63, 12, 13, 52, 44};
  const uint32_t immediate[] = {8, 9, 10, 11, 12, 13, 14, 15, 25};
  const uint32_t memory[] = {32, 33, 35, 36, 37, 39, 55, 40, 41, 43, 63, 34};
  const uint32_t branches[] = {4, 5, 6, 7, 20, 21, 22, 23};
  const uint32_t regimm[] = {0, 1, 2, 3, 16};
  const int length = 60 + static_cast<int>(pick(60));
  bool slot = false;  // the next word is a delay slot, which holds no jump or branch
  while (static_cast<int>(words.size()) < length) {
    const uint32_t rs = reg(), rt = pick(8) + 8, rd = pick(10) < 1 ? 0 : pick(8) + 8;
    const uint32_t here = kCodeAddress + 4 * static_cast<uint32_t>(words.size());
    const uint32_t forward = 1 + pick(6);  // words ahead, for branches and jumps
    const uint32_t kind = slot ? pick(7) : pick(15);
    slot = kind >= 7 && kind <= 10;
    switch (kind) {
      case 0:
      case 1:
      case 2:
        words.push_back(rs << 21 | rt << 16 | rd << 11 | pick(32) << 6 |
                        special[pick(std::size(special))]);
        break;
      case 3:
      case 4:
        words.push_back(immediate[pick(std::size(immediate))] << 26 | rs << 21 | rt << 16 |
                        pick(0x10000));
        break;
      case 5:
      case 6: {
        const uint32_t base = 16 + pick(3);
        const uint32_t offset = 0x400 + 8 * pick(16) + (pick(5) == 0 ? pick(8) : 0);
        words.push_back(memory[pick(std::size(memory))] << 26 | base << 21 | rt << 16 | offset);
        break;
      }
      case 7:
        words.push_back(branches[pick(std::size(branches))] << 26 | rs << 21 | rt << 16 | forward);
        break;
      case 8:
        words.push_back(1u << 26 | rs << 21 | regimm[pick(std::size(regimm))] << 16 | forward);
        break;
      case 9:
        words.push_back((2u + pick(2)) << 26 | ((here + 4 * forward) >> 2 & 0x3FFFFFF));
        break;
      case 10: {  // jr or jalr to a word ahead: lui and ori make its address in $s3
        const uint32_t link = pick(4) == 0 ? 19 : rt;
        words.push_back(0x3C138000);
        words.push_back(13u << 26 | 19 << 21 | 19 << 16 | ((here + 12 + 4 * forward) & 0xFFFF));
        words.push_back(19u << 21 | (pick(2) ? link << 11 | 9 : 8));
        break;
      }
      case 11:
        words.push_back(0x40004800 | rt << 16);  // mfc0 rt, Count
        break;
      default:
        words.push_back(9u << 26 | rs << 21 | rt << 16 | pick(0x10000));
        break;
    }
  }
  for (int i = 0; i < 8; ++i) words.push_back(0);  // landing room for the last forward jumps
  // A branch or jump landing straight on a `jr $s3` or `jalr $s3` would find $s3 made for another
  // jump, perhaps one behind it: such landings move on to the word after.
  auto jumps_through_s3 = [&](std::size_t i) { return (words[i] & 0xFFFF07FE) == (19u << 21 | 8); };
  for (std::size_t i = 0; i < words.size(); ++i) {
    const uint32_t op = words[i] >> 26;
    const bool branch = (op >= 4 && op <= 7) || (op >= 20 && op <= 23) || op == 1;
    if (branch && jumps_through_s3(i + 1 + (words[i] & 0xFFFF))) ++words[i];
    if ((op == 2 || op == 3) && jumps_through_s3((words[i] - (kCodeAddress >> 2)) & 0x3FFFFFF)) {
      ++words[i];
    }
    if (words[i] >> 16 == (13u << 10 | 19 << 5 | 19) &&
        jumps_through_s3(((words[i] & 0xFFFF) - 0x1000) / 4)) {
      words[i] += 4;
    }
  }
  for (uint32_t word : assemble(kToBreakpoint)) words.push_back(word);
  return words;
}

TEST_P(CompleteModelMatchesExact, RandomPrograms) {
  std::mt19937 random(20261215);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DifferentialProgram random_one = program(random_program(random), kInterruptsOn, 40);
    random_one.cartridge = std::vector<uint8_t>(0x500, 0x5A);
    random_one.longest_limit = 200;
    // Now and then a watchpoint among the data, whose page the faster engines leave alone.
    if (round % 3 == 1) {
      const auto kind = static_cast<WatchKind>(random() % 3);
      const auto address = static_cast<uint32_t>(0x80000400 + 4 * (random() % 32));
      random_one.watchpoints.push_back({address, 4, kind});
    }
    expect_same(random_one);
    if (HasFailure()) break;
  }
}

// Each operation stands for handlers its model's map has (one word of each encoding table is
// enough to meet every handler), each handler in one row at most, and markers alone for none,
// besides the FPU's words that the interpreter's own handlers run in place.
TEST(EngineOperations, EachStandsForHandlersOfItsModelsMapOnce) {
  for (CpuModel model : {CpuModel::v02c, CpuModel::r4300i}) {
    std::set<Handler> in_map;
    for (uint32_t n = 0; n < 64; ++n) {
      for (uint32_t word : {n << 26, n, 1u << 26 | (n & 31) << 16, 16u << 26 | (n & 31) << 21,
                            16u << 26 | 16u << 21 | n, 17u << 26 | 8u << 21 | (n & 31) << 16}) {
        in_map.insert(opcode_entry(model, InstrFields{word}).exec);
      }
    }
    std::set<Handler> seen;
    for (uint8_t op = 0; op < op_count; ++op) {
      SCOPED_TRACE(static_cast<int>(op));
      const Handler exec = handler(operation(op), model);
      const bool marker =
          !handler(operation(op), CpuModel::v02c) && !handler(operation(op), CpuModel::r4300i);
      EXPECT_EQ(operation(op).kind == Kind::marker || operation(op).kind == Kind::in_place, marker);
      if (!exec) continue;
      EXPECT_TRUE(in_map.count(exec));
      EXPECT_TRUE(seen.insert(exec).second);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, CompleteModelMatchesExact,
                         ::testing::Values(Engine::decoded, Engine::jit),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                           return engine_test_name(engine.param);
                         });

}  // namespace
