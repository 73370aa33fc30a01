#include "machine/engines/block_translator.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "debugger/debugger_state.h"
#include "machine/engines/block_emitter.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "tests/support/core_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/host_system.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/program_rom.h"

namespace {

using BlockTranslatorTest = CoreTest;

TEST_F(BlockTranslatorTest, NoMemoryIsWritableAndExecutableAtOnce) {
  ASSERT_TRUE(block_translator.available());
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir, "loop: addiu $t0, $t0, 1\n bne $t0, $t1, loop\n nop"), 1);
  cpu.gpr[9] = 100000;
  const uint64_t blocks_before = block_translator.statistics().blocks;
  shared.engine = Engine::jit;
  shared.running = 1;
  execution.start();
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::stop_address);
  EXPECT_GT(block_translator.statistics().blocks, blocks_before);

  int executable = 0;
  for (const MappedRegion& region : memory_regions()) {
    EXPECT_FALSE(region.writable && region.executable) << region.description;
    executable += region.executable;
  }
  EXPECT_GT(executable, 0);
}

// A loop keeps every register it uses in a host register, however often it reads register 0;
// straight-line code only those it uses often; every block v0, a0, the stack pointer and the
// return address.
TEST_F(BlockTranslatorTest, LoopsKeepTheirRegistersInHostRegisters) {
  auto kept = [](const std::string& source) {
    const std::vector<uint32_t> words = assemble(source);
    place_words(0x04000040, words);
    BlockSource block{0x04000040, {}};
    for (uint32_t k = 0; k < words.size(); ++k)
      block.words.push_back(decoded_form(0x04000040 + 4 * k));
    std::vector<unsigned> registers;
    const std::array<int, 32> places = host_registers(block);
    for (unsigned g = 0; g < 32; ++g) {
      if (places[g] >= 0) registers.push_back(g);
    }
    return registers;
  };
  EXPECT_EQ(kept(R"(
      loop:
      lw $t1, 0($t0)
      addu $t2, $t2, $t1
      sw $t1, 0($t0)
      or $t3, $zero, $zero
      addiu $t0, $t0, 4
      bne $t0, $s1, loop
      nop
  )"),
            (std::vector<unsigned>{2, 4, 8, 9, 10, 11, 17, 29, 31}));
  EXPECT_EQ(kept("addiu $t0, $t0, 1\n addiu $t0, $t0, 1\n addu $t0, $t0, $t1\n j 0x04000800"),
            (std::vector<unsigned>{2, 4, 8, 29, 31}));
}

// The code memory is mapped when a run first asks for the translator, so that a program that runs
// nothing (korvel-cli disasm) maps none. Seen from a fresh process, which no other test has run in.
TEST(BlockTranslatorDeathTest, CodeMemoryIsMappedOnlyOnceARunAsksForIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const bool none_at_start = block_translator.statistics().code_bytes == 0;
        reset_all_state();
        const bool none_after_reset = block_translator.statistics().code_bytes == 0;
        const bool mapped =
            block_translator.available() && block_translator.statistics().code_bytes > 0;
        std::exit(none_at_start && none_after_reset && mapped ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
