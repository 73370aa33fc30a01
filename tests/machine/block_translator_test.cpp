#include "machine/block_translator.h"

#include <gtest/gtest.h>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "tests/support/core_fixture.h"
#include "tests/support/host_system.h"
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

}  // namespace
