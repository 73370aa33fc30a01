#include <gtest/gtest.h>

#include <random>

#include "cpu/cpu_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "tests/support/core_fixture.h"
#include "tests/support/engine_differential.h"
#include "tests/support/mips_assembler.h"

namespace {

// Each faster engine against the exact path, stop for stop.
class EngineMatchesExact : public CoreTest, public ::testing::WithParamInterface<Engine> {
 protected:
  void expect_same(DifferentialProgram program) {
    expect_engine_matches_exact(GetParam(), program, recorder);
  }
  void expect_same(const std::string& source, int longest_limit = 120) {
    DifferentialProgram program;
    program.boot_code = assemble(source);
    program.longest_limit = longest_limit;
    expect_same(program);
  }
};

// Ends a program at the breakpoint address.
constexpr const char* kToBreakpoint = "\n lui $k0, 0x0400\n ori $k0, $k0, 0xB0\n jr $k0\n nop\n";

TEST_P(EngineMatchesExact, StoresIntoCodeTakeEffectAtOnceThroughEveryAlias) {
  // Each round rewrites the immediates of two words it runs next, decoded in the round before:
  // one through KSEG1, one through the plain address. Stale words would add the wrong amounts.
  expect_same(R"(
      lui $s0, 0xA400
      lui $s1, 0x0400
      lui $t7, 0x2529          # "addiu $t1, $t1, 0"
      lui $t6, 0x254A          # "addiu $t2, $t2, 0"
      addiu $t0, $zero, 4
  loop:
      or $t5, $t7, $t0
      sw $t5, 0x5C($s0)
      addiu $t1, $t1, 0        # at 0x0400005C
      or $t5, $t6, $t0
      sw $t5, 0x68($s1)
      addiu $t2, $t2, 0        # at 0x04000068
      addiu $t0, $t0, -1
      bne $t0, $zero, loop
      nop
  )" + std::string(kToBreakpoint));
}

TEST_P(EngineMatchesExact, CodeInRdramThroughKseg0PatchedThroughKseg1) {
  DifferentialProgram program;
  program.boot_code = assemble(R"(
      lui $s0, 0x8000
      ori $s0, $s0, 0x0400
      jr $s0                   # into RDRAM at 0x80000400
      nop
  )");
  // At 0x80000400: a loop whose ALU word the loop itself replaces, through 0xA0000400.
  const std::vector<uint32_t> rdram_code = assemble(R"(
      lui $s1, 0xA000
      addiu $t0, $zero, 5
      lui $t5, 0x254A
      ori $t5, $t5, 0x0002     # "addiu $t2, $t2, 2"
  loop:
      addiu $t2, $t2, 1        # at 0x80000410, replaced in the first round
      sw $t5, 0x410($s1)
      addiu $t0, $t0, -1
      bne $t0, $zero, loop
      addiu $t3, $t3, 1
      lui $k0, 0x0400
      ori $k0, $k0, 0xB0
      jr $k0
  )");
  program.prepare = [rdram_code] {
    for (std::size_t i = 0; i < rdram_code.size(); ++i) {
      for (int k = 0; k < 4; ++k) memory.rdram[0x400 + 4 * i + k] = rdram_code[i] >> (24 - 8 * k);
    }
  };
  expect_same(program);
}

TEST_P(EngineMatchesExact, TheStopAddressesAndTheirAliases) {
  // Straight-line code into 0x040000A8.
  expect_same(".rept 26\n addiu $t0, $t0, 1\n .endr\n addiu $t1, $t1, 1");
  // A branch whose continuation (target minus 4) is 0x040000A8, and one, nearby, whose target is
  // 0x040000B0. The code starts at 0x04000040, so .org 0x6C is 0x040000AC.
  expect_same("beq $zero, $zero, at_ac\n addiu $t0, $t0, 1\n .org 0x6C\n at_ac: nop");
  expect_same(".org 0x50\n beq $zero, $zero, at_b0\n addiu $t0, $t0, 1\n .org 0x70\n at_b0: nop");
  // The same addresses through KSEG1 do not stop: the run goes on to the real breakpoint.
  expect_same(R"(
      lui $t0, 0xA400
      ori $t0, $t0, 0x60
      jr $t0                   # on at 0xA4000060
      nop
      .org 0x20
      beq $zero, $zero, at_ac  # its continuation is 0xA40000A8
      addiu $t1, $t1, 1
      .org 0x6C
  at_ac:
      addiu $t2, $t2, 1        # on through 0xA40000B0
      .rept 8
      addiu $t3, $t3, 1
      .endr
  )" + std::string(kToBreakpoint));
}

TEST_P(EngineMatchesExact, DelaySlotsHoldingBranchesLoadsStoresJumpsAndRegisterZero) {
  const char* slots[] = {
      "beq $zero, $zero, far",  // a branch in a delay slot
      "bne $t0, $zero, far",   "lw $t4, 0x100($s0)",
      "ld $t4, 0x100($s0)",    "lb $t4, 0x103($s0)",
      "lw $t4, 0($s2)",  // from the cartridge: a slot the engine cannot run
      "sw $t0, 0x100($s0)",
      "sw $t0, 0x80($s1)",  // into the code the loop runs
      "j 0x04000100",          "jr $s3",
      "addu $zero, $t0, $t0",  "lui $zero, 0x1234",
  };
  for (const char* slot : slots) {
    SCOPED_TRACE(slot);
    DifferentialProgram program;
    program.boot_code = assemble(std::string(R"(
        lui $s0, 0x8000
        lui $s1, 0xA400
        lui $s2, 0xB000
        lui $s3, 0x0400
        ori $s3, $s3, 0x100
        addiu $t0, $zero, 3
    loop:
        addiu $t0, $t0, -1
        bne $t0, $zero, loop
        )") + slot + R"(
        addiu $t1, $t1, 1
        .org 0xC0
    far:
        addiu $t2, $t2, 1
    )" + kToBreakpoint);
    program.cartridge = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    expect_same(program);
  }
}

TEST_P(EngineMatchesExact, ADelaySlotAcrossAPageEnd) {
  // SP DMEM ends at 0x04000FFF: a branch in its last word has its slot in SP IMEM.
  expect_same(R"(
      lui $t0, 0x0400
      ori $t0, $t0, 0xFF0
      jr $t0
      nop
      .org 0xFB0
      addiu $t1, $zero, 2
  loop:
      addiu $t1, $t1, -1
      nop
      bne $t1, $zero, loop     # at 0x04000FFC, its slot the first word of SP IMEM
  )");
}

TEST_P(EngineMatchesExact, FailingReadsCartridgeCodeAndCountWrites) {
  DifferentialProgram program;
  program.cartridge = to_bytes(assemble(R"(
      addiu $t0, $t0, 1
      addiu $t1, $t1, 2
      lui $k0, 0x0400
      ori $k0, $k0, 0x60
      jr $k0
  )"));
  // Code fetched from the cartridge takes its bytes from the file's position; a count written
  // with MTC0; a load from nowhere, and a fetch from nowhere.
  program.boot_code = assemble(R"(
      lui $t0, 0xB000
      jr $t0
      nop
      .org 0x20
      addiu $t2, $zero, 100
      mtc0 $t2, $9
      lui $t3, 0x0500
      lw $t4, 8($t3)
      addiu $t5, $t5, 1
      jr $t3
  )");
  expect_same(program);
}

TEST_P(EngineMatchesExact, JumpsOntoStopAddressesAndUnalignedTargets) {
  // JR onto the stop address, a loop that branches onto the breakpoint address once its count runs
  // out, and JR to an address that is not a word's.
  expect_same(R"(
      lui $t0, 0x0400
      ori $t0, $t0, 0xA8
      jr $t0
  )");
  expect_same(R"(
      addiu $t1, $zero, 3
      .org 0x5C
  loop:
      addiu $t1, $t1, -1
      bne $t1, $zero, loop     # falls through to 0x040000A8 once t1 is 0
      addiu $t2, $t2, 7
      .org 0x68
      addiu $t3, $t3, 1
  )");
  expect_same(R"(
      addiu $t1, $zero, 3
  loop:
      addiu $t1, $t1, -1
      beq $t1, $zero, at_b0    # to 0x040000B0 at last
      addiu $t2, $t2, 7
      j 0x04000044             # loop
      nop
      .org 0x70
  at_b0:
      nop
  )");
  expect_same(R"(
      lui $t0, 0x0400
      ori $t0, $t0, 0x62
      jr $t0
  )");
}

TEST_P(EngineMatchesExact, ManyLiveRegistersAroundASlowLoadAndAFailingStore) {
  // Every value in flight when the block meets the cartridge and an unmapped address.
  expect_same(R"(
      lui $s0, 0xB000
      lui $s1, 0x0500
      addiu $t0, $zero, 1
      addiu $t1, $t0, 2
      addiu $t2, $t1, 3
      addiu $t3, $t2, 4
      addiu $t4, $t3, 5
      addiu $t5, $t4, 6
      addiu $t6, $t5, 7
      addiu $t7, $t6, 8
      addiu $s2, $t7, 9
      addiu $s3, $s2, 10
      lw $s4, 4($s0)           # from the cartridge
      addu $s5, $s4, $s3
      sw $s5, 0($s1)           # nowhere: a write error, and on
      addu $s6, $s5, $t0
      lw $s7, 0($s1)           # nowhere: a read error, which stops the run
      addiu $t8, $t8, 1
  )" + std::string(kToBreakpoint));
}

TEST_P(EngineMatchesExact, AnUnalignedStoreRewritesCodeInImemReachedByJalAndJr) {
  // A subroutine in SP IMEM, called twice; between the calls an unaligned store rewrites the
  // immediate of its first word (the low half of one word, the high half of the next).
  DifferentialProgram program;
  program.boot_code = assemble(R"(
      lui $s0, 0xA400
      ori $s0, $s0, 0x1000     # SP IMEM through KSEG1
      jal 0x04001000
      nop
      lui $t5, 0x0007
      ori $t5, $t5, 0x254A
      sw $t5, 2($s0)           # bytes 2 to 5: the first word's immediate becomes 7
      jal 0x04001000
      nop
      lui $t6, 0x0400
      ori $t6, $t6, 0x1004
      jalr $zero, $t6          # not carried out: stops, unless the stop is off
  )" + std::string(kToBreakpoint));
  const std::vector<uint32_t> subroutine = assemble(R"(
      addiu $t1, $t1, 1
      addiu $t2, $t2, 1
      jr $ra
  )");
  program.prepare = [subroutine] {
    for (std::size_t i = 0; i < subroutine.size(); ++i) {
      for (int k = 0; k < 4; ++k) memory.sp_imem[4 * i + k] = subroutine[i] >> (24 - 8 * k);
    }
  };
  expect_same(program);
}

TEST_P(EngineMatchesExact, AUserBreakpointOnATakenBranchsDelaySlot) {
  DifferentialProgram program;
  program.boot_code = assemble(R"(
      addiu $t1, $zero, 3
  loop:
      addiu $t1, $t1, -1
      bne $t1, $zero, loop
      addiu $t2, $t2, 1        # 0x0400004C, the delay slot
  )" + std::string(kToBreakpoint));
  program.user_breakpoints = {0x0400004C};
  expect_same(program);
}

// Random words from the engine's subset, with loads and stores into RDRAM, SP DMEM and the
// cartridge, branches and jumps that only go forward so that every program ends, and a few words
// the interpreter does not carry out.
std::vector<uint32_t> random_program(std::mt19937& random, bool with_unhandled) {
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  auto reg = [&] { return pick(12) + 8; };  // t0..t7, s0..s3: s0-s3 hold the bases
  std::vector<uint32_t> words = {
      0x3C108000,  // lui $s0, 0x8000   RDRAM through KSEG0
      0x3C11A400,  // lui $s1, 0xA400   SP DMEM through KSEG1, where the code runs
      0x3C12B000,  // lui $s2, 0xB000   the cartridge
      0x3C130400,  // lui $s3, 0x0400
  };
  const int length = 60 + static_cast<int>(pick(60));
  while (static_cast<int>(words.size()) < length) {
    const uint32_t rs = reg(), rt = pick(8) + 8, rd = pick(10) < 1 ? 0 : pick(8) + 8;
    const uint32_t here = 0x04000040 + 4 * static_cast<uint32_t>(words.size());
    const uint32_t forward = 1 + pick(6);  // words ahead, for branches and jumps
    const uint32_t special_functs[] = {0,  4,  7,  16, 18, 30, 32, 33, 36,
                                       37, 38, 39, 42, 43, 45, 46, 47, 63};
    switch (pick(12)) {
      case 0:
      case 1:
        words.push_back(rs << 21 | rt << 16 | rd << 11 | pick(32) << 6 | special_functs[pick(18)]);
        break;
      case 2:
      case 3: {
        const uint32_t ops[] = {8, 9, 12, 13, 15};
        words.push_back(ops[pick(5)] << 26 | rs << 21 | rt << 16 | pick(0x10000));
        break;
      }
      case 4:
      case 5: {
        const uint32_t ops[] = {32, 35, 36, 43, 55};  // LB LW LBU SW LD
        const uint32_t base = 16 + pick(3);           // s0 s1 s2, past the program's words
        words.push_back(ops[pick(5)] << 26 | base << 21 | rt << 16 | (0x400 + pick(0x40)));
        break;
      }
      case 6:
        words.push_back((pick(2) ? 4u : 5u) << 26 | rs << 21 | rt << 16 | forward);
        break;
      case 7:
        words.push_back((pick(2) ? 2u : 3u) << 26 | ((here + 4 * forward) >> 2 & 0x3FFFFFF));
        break;
      case 8:  // jr to a word ahead: lui and ori make its address in $s3
        words.push_back(0x3C130400);
        words.push_back(13u << 26 | 19 << 21 | 19 << 16 | ((here + 12 + 4 * forward) & 0xFFFF));
        words.push_back(19u << 21 | 8);
        break;
      case 9:
        if (with_unhandled) {
          const uint32_t unhandled[] = {0x00084082, 0x00000018, 0x40804800};  // SRL MULT MTC0 Count
          words.push_back(unhandled[pick(3)]);
        }
        break;
      default:
        words.push_back(9u << 26 | rs << 21 | rt << 16 | pick(0x10000));
        break;
    }
  }
  for (int i = 0; i < 8; ++i) words.push_back(0);  // landing room for the last forward jumps
  // A branch or jump landing straight on a `jr $s3` would find $s3 made for another jump, perhaps
  // one behind it: such landings move on to the word after.
  constexpr uint32_t kJrS3 = 19u << 21 | 8;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const uint32_t op = words[i] >> 26;
    if ((op == 4 || op == 5) && words[i + 1 + (words[i] & 0xFFFF)] == kJrS3) ++words[i];
    if ((op == 2 || op == 3) && words[((words[i] & 0xFFFF) - 0x10)] == kJrS3) ++words[i];
    if (words[i] >> 16 == (13u << 10 | 19 << 5 | 19) &&
        words[((words[i] & 0xFFFF) - 0x40) / 4] == kJrS3) {
      words[i] += 4;
    }
  }
  for (uint32_t word : assemble(kToBreakpoint)) words.push_back(word);
  return words;
}

TEST_P(EngineMatchesExact, RandomPrograms) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DifferentialProgram program;
    program.stop_on_unhandled = round % 2 == 0;
    program.boot_code = random_program(random, round % 3 != 0);
    program.cartridge = std::vector<uint8_t>(0x300, 0x5A);
    program.longest_limit = 150;
    expect_same(program);
    if (HasFailure()) break;
  }
}

// Watchpoints of every kind and length, through other aliases than the program's, on bytes its
// loads and stores reach in RDRAM, SP DMEM and the cartridge: each engine stops after the same
// instruction with the same access.
TEST_P(EngineMatchesExact, RandomProgramsWithRandomWatchpoints) {
  std::mt19937 random(20261209);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  // Where the random programs' bases s0, s1 and s2 point, through other aliases.
  const uint32_t bases[] = {0x00000000, 0x84000000, 0x10000000};
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DifferentialProgram program;
    program.boot_code = random_program(random, false);
    program.cartridge = std::vector<uint8_t>(0x300, 0x5A);
    program.longest_limit = 60;
    program.prepare = [] {
      reset_cpu();
    };  // the registers at boot, not as the last round left them
    for (uint32_t word : program.boot_code) {
      const uint32_t op = word >> 26, base = word >> 21 & 31;
      if ((op == 32 || op == 35 || op == 36 || op == 43 || op == 55) && base >= 16 && base <= 18 &&
          pick(3) == 0) {
        const uint32_t touched = bases[base - 16] + (word & 0xFFFF) + pick(8) - 3;
        program.watchpoints.push_back({touched, 1 + pick(8), static_cast<WatchKind>(pick(3))});
      }
    }
    expect_same(program);
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(, EngineMatchesExact, ::testing::Values(Engine::decoded, Engine::jit),
                         [](const ::testing::TestParamInfo<Engine>& engine) {
                           return engine_test_name(engine.param);
                         });

}  // namespace
