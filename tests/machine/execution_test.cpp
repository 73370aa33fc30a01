#include "machine/execution.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cpu/alu.h"
#include "cpu/hooks.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "debugger/debugger_state.h"
#include "machine/fault_messages.h"
#include "machine/history/history.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "tests/support/core_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/program_rom.h"

namespace {

class Execution : public CoreTest {
 protected:
  void load(const std::string& source) { ASSERT_EQ(load_program_rom(dir, source), 1); }

  // Start CPU's part that concerns the thread, then the wait for the run to end by itself.
  StopReason run() {
    recorder.clear();
    shared.running = 1;
    execution.start();
    return execution.wait_for_run_end();
  }

  TempDir dir;
};

TEST_F(Execution, RunEndsSilentlyAtTheStopAddressCountingTheInstructionThatLedThere) {
  load(".rept 26\n nop\n .endr\n addiu $t0, $zero, 1");  // the addiu stands at 0x040000A8
  EXPECT_EQ(run(), StopReason::stop_address);
  EXPECT_EQ(cpu.pc, kStopAddress);
  EXPECT_EQ(cpu.cp0[kCountRegister], 27u);
  EXPECT_EQ(cpu.gpr[8], 0u);  // not executed by this run
  EXPECT_EQ(shared.running, 0);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_TRUE(recorder.titles().empty());  // the count is not shown
}

TEST_F(Execution, RunStopsAtTheBreakpointWithItsMessage) {
  load("lui $t0, 0x0400\n ori $t0, $t0, 0x00B0\n jr $t0");
  EXPECT_EQ(run(), StopReason::breakpoint_address);
  EXPECT_EQ(shared.running, 0);
  EXPECT_EQ(recorder.messages(),
            (std::vector<RecordingHost::Message>{{"Breakpoint Encountered", "PC: 0x040000B0\n"}}));
}

TEST_F(Execution, StopAddressesAreComparedAsWholeProgramCounters) {
  // The stop address through KSEG1 is a different program counter and does not stop the run.
  load(
      "lui $t0, 0xA400\n ori $t0, $t0, 0x00A8\n jr $t0\n"
      ".org 0x68\n lui $t1, 0x0400\n ori $t1, $t1, 0x00B0\n jr $t1");
  EXPECT_EQ(run(), StopReason::breakpoint_address);
  EXPECT_EQ(cpu.pc, kBreakpointAddress);
  EXPECT_EQ(cpu.cp0[kCountRegister], 7u);
}

TEST_F(Execution, UnhandledOpcodeStopsTheRunWithCountPlusOne) {
  load("srl $t0, $t0, 1");  // not carried out
  EXPECT_EQ(run(), StopReason::unhandled_opcode);
  EXPECT_EQ(recorder.messages(),
            (std::vector<RecordingHost::Message>{
                {"Unhandled Opcode",
                 "Unhandled Opcode: SRL\nEmulation stopped at instruction number 3"}}));
  EXPECT_EQ(shared.running, 1);  // this stop leaves the flag alone
  EXPECT_EQ(cpu.pc, 0x04000044u);
}

TEST_F(Execution, UnhandledOpcodeWithoutTheStopRunsOn) {
  load("srl $t0, $t0, 1\n .rept 25\n nop\n .endr");
  shared.stop_on_unhandled = 0;
  EXPECT_EQ(run(), StopReason::stop_address);
  EXPECT_EQ(cpu.pc, kStopAddress);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Execution, FetchFromAnUnmappedAddressRaisesFourReadErrorsAndEndsTheRun) {
  load("lui $t0, 0x0500\n jr $t0");
  EXPECT_EQ(run(), StopReason::memory_error);
  const auto messages = recorder.messages();
  ASSERT_EQ(messages.size(), 4u);
  const char* addresses[] = {"5000000", "5000001", "5000002", "5000003"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(messages[i].caption, "Memory Error: Read");
    EXPECT_EQ(messages[i].text, std::string("Unhandled memory address: ") + addresses[i] +
                                    "\nStopped on opcode number: 3\nPC: 5000000\nOpcode:Reading");
  }
  // The word read as zero (a NOP) was still executed and counted.
  EXPECT_EQ(cpu.pc, 0x05000004u);
  EXPECT_EQ(cpu.cp0[kCountRegister], 4u);
}

// Under the complete model a fetch that raises an address error reads nothing, mapped or not: no
// read error, and on every engine the handler runs (here it keeps Cause, EPC and BadVAddr).
TEST_F(Execution, CompleteModelMisalignedFetchesRaiseTheAddressErrorAlone) {
  for (Engine engine : {Engine::exact, Engine::decoded, Engine::jit}) {
    for (uint32_t target : {0x7FFFFFFDu, 0xFFFFFFFFu, 0x80000102u}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(engine)) + " " + std::to_string(target));
      choose_cpu_model(CpuModel::r4300i);
      load("lui $t0, " + std::to_string(target >> 16) + "\n ori $t0, $t0, " +
           std::to_string(target & 0xFFFF) + "\n jr $t0\n nop");
      place_words(r4300i::kExceptionVector,
                  assemble("mfc0 $s0, $13\n mfc0 $s1, $14\n mfc0 $s2, $8\n lui $at, 0x0400\n"
                           " ori $at, $at, 0xB0\n jr $at\n nop"));
      // With ERL clear KUSEG is mapped: the boot code runs through KSEG1.
      cpu.cp0[r4300i::kStatus] = 0;
      cpu.pc |= kKseg1First;
      shared.engine = engine;
      EXPECT_EQ(run(), StopReason::breakpoint_address);
      EXPECT_EQ(
          recorder.messages(),
          (std::vector<RecordingHost::Message>{{"Breakpoint Encountered", "PC: 0x040000B0\n"}}));
      EXPECT_EQ(cpu.gpr[16] >> 2 & 31,
                static_cast<uint64_t>(r4300i::Exception::address_error_load));
      EXPECT_EQ(cpu.gpr[17], alu::sign_extend_32(target));
      EXPECT_EQ(cpu.gpr[18], alu::sign_extend_32(target));
    }
  }
}

TEST_F(Execution, Kseg0ProgramCountersFetchFromRdram) {
  load("lui $t0, 0x8000\n ori $t0, $t0, 0x0400\n jr $t0");
  // addiu $t1, $zero, 0x77 ; lui $t0, 0x0400 ; ori $t0, $t0, 0xA8 ; jr $t0
  const uint8_t program[] = {0x24, 0x09, 0x00, 0x77, 0x3C, 0x08, 0x04, 0x00,
                             0x35, 0x08, 0x00, 0xA8, 0x01, 0x00, 0x00, 0x08};
  std::copy(std::begin(program), std::end(program), memory.rdram + 0x400);
  EXPECT_EQ(run(), StopReason::stop_address);
  EXPECT_EQ(cpu.gpr[9], 0x77u);
  EXPECT_EQ(cpu.pc, kStopAddress);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Execution, WordsAcrossARegionEndAndInTheCartridgeAreReadByteByByte) {
  // A word at the end of SP DMEM runs into SP IMEM; the cartridge gives consecutive file bytes.
  load("lui $t0, 0x0400\n ori $t0, $t0, 0x0FFE\n jr $t0");
  memory.sp_dmem[0xFFE] = 0x24;  // addiu $t1, $zero, 0x55 split across the two memories
  memory.sp_dmem[0xFFF] = 0x09;
  memory.sp_imem[0] = 0x00;
  memory.sp_imem[1] = 0x55;
  ASSERT_EQ(step_instruction(), 0);
  ASSERT_EQ(step_instruction(), 0);
  ASSERT_EQ(step_instruction(), 0);
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.gpr[9], 0x55u);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Execution, DelaySlotHandOverOnBothPaths) {
  load(R"(
      beq $zero, $zero, target   # taken: the delay slot runs, then the target
      addiu $t0, $zero, 1        # delay slot
      addiu $t0, $zero, 2        # skipped
  target:
      bne $zero, $zero, target   # not taken
      addiu $t1, $zero, 3
  )");
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.delay_slot_pending, 1);
  EXPECT_EQ(cpu.delay_slot_pc, 0x04000044u);
  EXPECT_EQ(cpu.pc, 0x04000048u);  // the target minus 4
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.gpr[8], 1u);
  EXPECT_EQ(cpu.pc, 0x0400004Cu);  // on the target
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.pc, 0x04000050u);
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.gpr[9], 3u);
  EXPECT_EQ(cpu.gpr[8], 1u);
  EXPECT_EQ(cpu.cp0[kCountRegister], 5u);
}

TEST_F(Execution, TakenBranchInADelaySlotLeavesNoHandOverPending) {
  load(R"(
      beq $zero, $zero, first    # 0x40
      beq $zero, $zero, second   # 0x44, its delay slot
      nop
  first:
      addiu $t0, $zero, 1        # 0x4C
  second:
      addiu $t1, $zero, 2        # 0x50
  )");
  ASSERT_EQ(step_instruction(), 0);  // the first branch
  ASSERT_EQ(step_instruction(), 0);  // the second, from the delay slot
  // The flag is cleared after the delay-slot instruction, so the second branch's hand-over is lost
  // and execution goes on from pc as the second branch left it.
  EXPECT_EQ(cpu.delay_slot_pending, 0);
  EXPECT_EQ(cpu.pc, 0x04000048u + 8);
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(cpu.gpr[9], 2u);
  EXPECT_EQ(cpu.gpr[8], 0u);
}

TEST_F(Execution, CountInTheTitleOnBothPaths) {
  load("nop\n .rept 40\n nop\n .endr");
  shared.show_count = 1;

  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(recorder.last_title(), "Korvel  2");
  for (int i = 0; i < 24; ++i) step_instruction();
  EXPECT_EQ(cpu.cp0[kCountRegister], 26u);
  EXPECT_EQ(recorder.last_title(), "Korvel  1a");
  EXPECT_STREQ(shared.message_text().c_str(), "1a");

  // The run publishes the count; the window thread shows it. After the run the title is exact.
  reset_cpu();
  shared.title_text.set("Korvel - DEMO - Running");
  EXPECT_EQ(run(), StopReason::stop_address);
  execution.refresh_count_title();
  EXPECT_EQ(cpu.cp0[kCountRegister], 27u);
  EXPECT_EQ(recorder.last_title(), "Korvel - DEMO - Running 27");
  EXPECT_EQ(execution.published_count(), 27u);
  EXPECT_STREQ(shared.message_text().c_str(), "27");

  // Past 2^31 and 2^32 the count is shown whole, never negative, on both paths.
  reset_cpu();
  cpu.cp0[kCountRegister] = 0x1'7FFF'FFF0;
  ASSERT_EQ(step_instruction(), 0);
  EXPECT_EQ(recorder.last_title(), "Korvel  17ffffff1");
  EXPECT_EQ(run(), StopReason::stop_address);
  execution.refresh_count_title();
  EXPECT_EQ(recorder.last_title(), "Korvel - DEMO - Running 6442450954");
  EXPECT_STREQ(shared.message_text().c_str(), "6442450954");
}

// Everything a test may have left behind goes with one reset: the fault sinks and their count,
// the marks of stored and copied pages, the user breakpoints and the history.
TEST_F(Execution, ResetPutsEveryPartOfTheMachineBack) {
  load("lui $t0, 0x0500\n lw $t1, 0($t0)\n sw $t1, 0($zero)");
  shared.engine = Engine::jit;
  EXPECT_EQ(run(), StopReason::memory_error);
  ASSERT_EQ(fault_messages.read_errors(), 4u);
  class OtherSink final : public MemoryFaultSink {
    void unhandled_read(uint64_t) override {}
    void unhandled_write(uint32_t) override {}
  } other;
  memory_hooks.memory_faults = &other;
  user_breakpoints.insert(0x04000040);
  code_pages.written[3] = 1;
  code_pages.copied[1024] = 1;
  ASSERT_TRUE(history.start());

  reset_all_state();
  EXPECT_EQ(fault_messages.read_errors(), 0u);
  EXPECT_EQ(memory_hooks.memory_faults, &fault_messages);
  EXPECT_EQ(cpu_hooks.cpu_faults, &fault_messages);
  EXPECT_TRUE(std::ranges::all_of(code_pages.written, [](uint8_t mark) { return mark == 0; }));
  EXPECT_TRUE(std::ranges::all_of(code_pages.copied, [](uint8_t mark) { return mark == 0; }));
  EXPECT_TRUE(user_breakpoints.empty());
  EXPECT_FALSE(history.recording());
  EXPECT_EQ(history.first_position(), 0u);
}

TEST_F(Execution, FirstRunInstructionShowsCountTwo) {
  load("lui $t0, 0x0500\n jr $t0");  // ends on a read error
  shared.show_count = 1;
  recorder.clear();
  shared.running = 1;
  execution.start();
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::memory_error);
  EXPECT_EQ(execution.published_count(), 4u);
  // One instruction alone: Count 1 after the load, 2 after it.
  reset_cpu();
  shared.running = 1;
  cpu.pc = kStopAddress - 4;
  execution.start();
  execution.wait_for_run_end();
  execution.refresh_count_title();
  EXPECT_EQ(recorder.last_title(), std::string(shared.title_text.c_str()) + " 2");
}

TEST_F(Execution, PauseHaltAndStartAgainContinueFromTheState) {
  load("loop: addiu $t0, $t0, 1\n beq $zero, $zero, loop\n nop");
  shared.running = 1;
  execution.start();
  {
    ExecutionController::ScopedPause pause(execution);
    EXPECT_GT(cpu.cp0[kCountRegister], 0u);
    EXPECT_NE(cpu.delay_slot_pending, 2);  // the state is at rest here
  }
  execution.halt();
  EXPECT_FALSE(execution.has_run_thread());
  uint64_t count = cpu.cp0[kCountRegister];
  // Count advances by one per executed instruction: t0 grows once every three.
  uint64_t executed = count - 1;
  EXPECT_NEAR(static_cast<double>(cpu.gpr[8]), executed / 3.0, 1.0);

  shared.running = 1;
  execution.start();
  execution.halt();
  EXPECT_GE(cpu.cp0[kCountRegister], count);
}

TEST_F(Execution, CloseRomEndsTheRunThread) {
  load("loop: beq $zero, $zero, loop\n nop");
  shared.running = 1;
  execution.start();
  close_rom();
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(cpu.pc, 0u);
  EXPECT_EQ(rom.rom_file, nullptr);
}

TEST_F(Execution, TheHostHearsTheRunThreadEndWhoeverEndsIt) {
  // A run that ends by itself, and one that is ended by Close ROM.
  load("nop\n lui $t0, 0x0400\n ori $t0, $t0, 0x00B0\n jr $t0");
  EXPECT_EQ(run(), StopReason::breakpoint_address);
  EXPECT_EQ(recorder.run_thread_events(), "started ended ");
  reset_cpu();
  cpu.pc = 0x04000040;
  memory.sp_dmem[0x40] = 0x10;  // beq $zero, $zero, -1: a loop that never ends
  memory.sp_dmem[0x41] = 0x00;
  memory.sp_dmem[0x42] = 0xFF;
  memory.sp_dmem[0x43] = 0xFF;
  shared.running = 1;
  execution.start();
  close_rom();
  EXPECT_EQ(recorder.run_thread_events(), "started ended started ended ");
}

}  // namespace
