#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <thread>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "tests/support/core_fixture.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/program_rom.h"

namespace {

class RunApi : public CoreTest {
 protected:
  void load(const std::string& source) { ASSERT_EQ(load_program_rom(dir, source), 1); }

  StopReason run() {
    shared.running = 1;
    execution.start();
    return execution.wait_for_run_end();
  }

  TempDir dir;
};

TEST_F(RunApi, UserBreakpointsStopBeforeTheInstructionAlsoInADelaySlot) {
  // 0x40: t0 = 1; 0x44: branch to 0x54 with its delay slot at 0x48; 0x54: t2 = 3, then on to the
  // stop address.
  load(
      "addiu $t0, $zero, 1\n beq $zero, $zero, target\n addiu $t1, $zero, 2\n nop\n nop\n"
      "target: addiu $t2, $zero, 3\n .rept 20\n nop\n .endr");
  user_breakpoints.insert(0x04000048);
  EXPECT_EQ(run(), StopReason::user_breakpoint);
  EXPECT_EQ(cpu.cp0[kCountRegister], 3u);  // two instructions executed
  EXPECT_EQ(cpu.delay_slot_pending, 1);
  EXPECT_EQ(next_fetch_address(), 0x04000048u);
  EXPECT_EQ(cpu.gpr[9], 0u);

  // The next run starts with the instruction it stopped before.
  user_breakpoints.insert(0x04000058);
  EXPECT_EQ(run(), StopReason::user_breakpoint);
  EXPECT_EQ(cpu.gpr[9], 2u);
  EXPECT_EQ(cpu.gpr[10], 3u);
  EXPECT_EQ(cpu.pc, 0x04000058u);

  // Without breakpoints the same program runs as it always has.
  user_breakpoints.clear();
  EXPECT_EQ(run(), StopReason::stop_address);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(RunApi, AnInterruptNeverSeparatesABranchFromItsDelaySlot) {
  load("loop: addiu $t0, $t0, 1\n beq $zero, $zero, loop\n addiu $t1, $t1, 1");
  for (int round = 0; round < 50; ++round) {
    shared.running = 1;
    execution.start();
    std::this_thread::sleep_for(std::chrono::microseconds(round * 37 % 400));
    execution.interrupt();
    ASSERT_EQ(execution.wait_for_run_end(), StopReason::paused);
    ASSERT_EQ(cpu.delay_slot_pending, 0);
    ASSERT_EQ(shared.running, 1);  // an interrupt is not a Pause CPU
  }
}

TEST_F(RunApi, PeekAndPokeHaveNoSideEffects) {
  RomImage image;
  image.cartridge = {0x11, 0x22, 0x33, 0x44};
  ASSERT_EQ(load_rom(dir.write("cart.z64", image.native()).c_str()), 1);

  // The image byte at that offset into the cartridge range.
  EXPECT_EQ(peek(0xB0001002), 0x33);
  EXPECT_EQ(peek(0x10000000), 0x80);
  EXPECT_EQ(mem_read_byte(0x10000000), 0x11);  // the file position has not moved
  EXPECT_EQ(mem_read_byte(0x10000000), 0x22);

  EXPECT_FALSE(peek(0x05000000).has_value());
  EXPECT_FALSE(poke(0x05000000, 1));
  EXPECT_FALSE(poke(0x10000000, 1));
  EXPECT_TRUE(poke(0xA0000100, 0x5A));
  EXPECT_EQ(memory.rdram[0x100], 0x5A);
  EXPECT_EQ(peek(0x80000100), 0x5A);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_EQ(shared.running, 0);
}

// Under the complete model a debugger reads and writes mapped addresses through the TLB, as the
// kernel would reach them, and raises nothing; Random reads as an instruction would read it now.
TEST_F(RunApi, TheCompleteModelsDebuggerGoesThroughTheTlbWithoutSideEffects) {
  choose_cpu_model(CpuModel::r4300i);
  load(".rept 8\n nop\n .endr");
  for (int i = 0; i < 5; ++i) execution.step();
  EXPECT_EQ(read_register({RegisterFile::cp0, r4300i::kRandom}), 31u - 5);
  EXPECT_EQ(processor_state().cp0[r4300i::kRandom], 31u - 5);
  memory.rdram[0x104] = 0x5A;
  EXPECT_EQ(peek(0x00000104), 0x5A);  // KUSEG unmapped while ERL is set

  cpu.cp0[r4300i::kStatus] = 0;
  cpu.tlb[4] = TlbEntry{0, 0x00010000, {0x3000 >> 6 | r4300i::kEntryValid, 0}};
  memory.rdram[0x3004] = 0xA5;
  EXPECT_EQ(peek(0x00010004), 0xA5);
  EXPECT_TRUE(poke(0x00010008, 0x77));  // a page not dirty takes a debugger's write
  EXPECT_EQ(memory.rdram[0x3008], 0x77);
  EXPECT_FALSE(peek(0x00011000).has_value());  // not valid
  EXPECT_FALSE(peek(0x00000104).has_value());  // no entry
  EXPECT_FALSE(poke(0x7F000000, 1));
  EXPECT_EQ(cpu.cp0[r4300i::kCause], 0u);
  EXPECT_EQ(cpu.cp0[r4300i::kBadVAddr], 0u);
  EXPECT_EQ(cpu.cp0[r4300i::kEntryHi], 0u);
  EXPECT_EQ(read_register({RegisterFile::cp0, r4300i::kRandom}), 31u - 5);
}

// Register 0 reads 0 whatever a debugger wrote into it while paused: in the run that follows, on
// every engine and in either model, and in a single step.
TEST_F(RunApi, ADebuggersWriteToRegisterZeroIsNeverRead) {
  for (CpuModel model : {CpuModel::v02c, CpuModel::r4300i}) {
    for (Engine engine : {Engine::exact, Engine::decoded, Engine::jit}) {
      SCOPED_TRACE(testing::Message() << "engine " << static_cast<int>(engine) << " model "
                                      << static_cast<int>(model));
      choose_cpu_model(model);
      shared.engine = engine;
      load("addu $t0, $zero, $zero\n addu $t1, $zero, $zero\n .rept 20\n nop\n .endr");
      write_register({RegisterFile::gpr, 0}, 0x1234);
      execution.step();
      EXPECT_EQ(cpu.gpr[8], 0u);
      write_register({RegisterFile::gpr, 0}, 0x5678);
      EXPECT_EQ(run(), StopReason::stop_address);
      EXPECT_EQ(cpu.gpr[9], 0u);
      EXPECT_EQ(cpu.gpr[0], 0u);
    }
  }
}

TEST_F(RunApi, RegistersByNumber) {
  write_register({RegisterFile::gpr, 31}, 0x8000000000000001);
  write_register({RegisterFile::hi}, 7);
  write_register({RegisterFile::lo}, 8);
  write_register({RegisterFile::pc}, 0x1A4000040);
  write_register({RegisterFile::cp0, kCountRegister}, 99);
  write_register({RegisterFile::fpr, 2}, std::bit_cast<uint64_t>(1.5));
  EXPECT_EQ(cpu.gpr[31], 0x8000000000000001u);
  EXPECT_EQ(cpu.hi_reg, 7u);
  EXPECT_EQ(cpu.lo_reg, 8u);
  EXPECT_EQ(cpu.pc, 0xA4000040u);  // 32 bits wide
  EXPECT_EQ(cpu.cp0[kCountRegister], 99u);
  EXPECT_EQ(cpu.fpr[2], 1.5);
  EXPECT_EQ(read_register({RegisterFile::fpr, 2}), std::bit_cast<uint64_t>(1.5));
  EXPECT_EQ(read_register({RegisterFile::pc}), 0xA4000040u);
  EXPECT_EQ(read_register({RegisterFile::gpr, 31}), 0x8000000000000001u);
}

}  // namespace
