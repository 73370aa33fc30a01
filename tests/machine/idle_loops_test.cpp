// Loops that wait for the hardware, skipped up to the event they wait for: the machine ends
// exactly where running every instruction leaves it, on every engine.
#include <gtest/gtest.h>

#include <string>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/scheduler.h"
#include "machine/devices/console_devices.h"
#include "machine/engines/engine_list.h"
#include "machine/engines/engine_set.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "machine/stops/user_breakpoints.h"
#include "tests/support/core_fixture.h"
#include "tests/support/cpu_runner.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/program_rom.h"

namespace {

// Three waits for the VI's interrupt at line 1 ($a1 holds VI's address), each in the way `waits`
// has it; then the stop address.
std::string waiting_program(const std::string& waits) {
  return std::string(R"(
      lui $a1, 0xA440
      ori $t0, $zero, 2
      sw $t0, 0xC($a1)          # VI_V_INTR: line 1
)") + waits +
         R"(
      lui $at, 0x0400
      ori $at, $at, 0xA8
      jr $at
      nop
)";
}

// Three waits with interrupts off, each until `read` (after `setup`) finds the VI's interrupt,
// which each then lowers.
std::string polls_with_interrupts_off(const std::string& setup, const std::string& read) {
  return setup + R"(
      ori $s1, $zero, 3
  wait:
)" + read +
         R"(
      beq $t0, $zero, wait
      nop
      sw $zero, 0x10($a1)       # VI_V_CURRENT: the interrupt lowered
      addiu $s1, $s1, -1
      bne $s1, $zero, wait
      nop
)";
}

// Polling MI_INTR.
const std::string kPollsTheInterrupt = polls_with_interrupts_off("lui $a0, 0xA430", R"(
      lw $t0, 8($a0)            # MI_INTR
      andi $t0, $t0, 8)");

// Polling Cause for the interrupt line (IP2).
const std::string kPollsCause = polls_with_interrupts_off(R"(
      lui $t3, 0xA430
      ori $t4, $zero, 0x80
      sw $t4, 0xC($t3)          # MI_MASK: set VI)",
                                                          R"(
      mfc0 $t0, $13             # Cause
      andi $t0, $t0, 0x400      # IP2)");

// Polling a word in RDRAM, in which the VI's interrupt handler counts itself.
constexpr const char* kPollsTheHandlersCount = R"(
      lui $t3, 0xA430
      ori $t4, $zero, 0x80
      sw $t4, 0xC($t3)          # MI_MASK: set VI
      lui $s0, 0x8010
      sw $zero, 0($s0)          # the handler's count
      ori $t5, $zero, 0x0401
      mtc0 $t5, $12             # Status: IM2, IE
  wait:
      lw $t0, 0($s0)
      beq $t0, $s1, wait
      nop
      addiu $s1, $s1, 1
      ori $t1, $zero, 3
      bne $s1, $t1, wait
      nop
)";

// Polling VI_V_CURRENT for a half-line, for three in turn, each a frame or so after the last.
constexpr const char* kPollsTheLine = R"(
      ori $t1, $zero, 0x100
  first:
      lw $t0, 0x10($a1)         # VI_V_CURRENT
      bne $t0, $t1, first
      nop
      ori $t1, $zero, 0x20
  second:
      lw $t0, 0x10($a1)
      bne $t0, $t1, second
      nop
      ori $t1, $zero, 0x100
  third:
      lw $t0, 0x10($a1)
      bne $t0, $t1, third
      nop
)";

constexpr const char* kCountingHandler = R"(
      lui $k0, 0xA440
      sw $zero, 0x10($k0)       # VI_V_CURRENT: the interrupt lowered
      lui $k0, 0x8010
      lw $k1, 0($k0)
      addiu $k1, $k1, 1
      sw $k1, 0($k0)
      eret
)";

// Sees every fetch, so that the run goes one instruction at a time and skips nothing.
class EveryFetch final : public RunObserver {
 public:
  uint64_t unseen_allowed() override { return 0; }
  void fetched(uint32_t, uint32_t) override {}
  void instructions_done(uint64_t) override {}
};

class IdleLoopsTest : public CoreTest {
 protected:
  void load(const std::string& program, const char* handler = nullptr) {
    reset_all_state();
    choose_hardware(Hardware::console, false);
    ASSERT_EQ(load_program_rom(dir, program), 1);
    if (handler) place_words(r4300i::kExceptionVector, assemble(handler));
  }

  static void run(Engine engine, RunObserver* observer) {
    shared.engine = engine;
    shared.running = 1;
    execution.start(observer);
    EXPECT_EQ(execution.wait_for_run_end(), StopReason::stop_address);
  }

  // Places `loop` at `head` and asks the skipping for a turn there, with an event due `due`
  // cycles on.
  static EngineRun turn_at(uint32_t head, const std::string& loop, uint64_t due,
                           uint32_t budget = 1u << 30) {
    place_words(head, assemble(loop));
    cpu.pc = head;
    shared.running = 1;  // as in a run, which the exact path ends when it is cleared
    scheduler.schedule(Event::ai_buffer, scheduler.now + due);
    return engines.idle.run(budget, nullptr);
  }

  TempDir dir;
};

// Polling MI_INTR and Cause with interrupts off, a word in RDRAM that the interrupt's handler
// writes, and the line the VI scans.
TEST_F(IdleLoopsTest, WaitsForTheViEndWhereRunningEveryInstructionLeavesTheMachine) {
  struct Waits {
    std::string waits;
    const char* handler;
  };
  for (const Waits& way :
       {Waits{kPollsTheInterrupt, nullptr}, Waits{kPollsCause, nullptr},
        Waits{kPollsTheHandlersCount, kCountingHandler}, Waits{kPollsTheLine, nullptr}}) {
    const char* handler = way.handler;
    const std::string program = waiting_program(way.waits);
    SCOPED_TRACE(program);
    load(program, handler);
    EveryFetch every;
    run(Engine::exact, &every);
    const CpuState stepped = cpu;
    const uint64_t clock = scheduler.now;
    EXPECT_GT(clock, 1'500'000u);  // a frame at least between the first wait and the last
    for (Engine engine : {Engine::exact, Engine::decoded, Engine::jit}) {
      SCOPED_TRACE(static_cast<int>(engine));
      load(program, handler);
      run(engine, nullptr);
      for (int r = 0; r < 32; ++r) EXPECT_EQ(cpu.gpr[r], stepped.gpr[r]) << "register " << r;
      EXPECT_EQ(cpu.cp0[kCountRegister], stepped.cp0[kCountRegister]);
      EXPECT_EQ(cpu.cp0[r4300i::kEpc], stepped.cp0[r4300i::kEpc]);
      EXPECT_EQ(scheduler.now, clock);
    }
  }
}

TEST_F(IdleLoopsTest, OnlyALoopThatDoesTheSameEveryTimeRoundIsSkipped) {
  load("nop");
  cpu.gpr[4] = 0xFFFFFFFFA4300000;  // $a0: MI
  cpu.gpr[5] = 0xFFFFFFFFA4400000;  // $a1: VI
  const char* polls_mi = "wait: lw $t0, 8($a0)\n andi $t0, $t0, 8\n beq $t0, $zero, wait\n nop";
  // Up to the event, in whole times round: the first on the exact path, then the skip.
  uint64_t before = scheduler.now;
  EngineRun ran = turn_at(0x80002000, polls_mi, 1002);
  EXPECT_EQ(ran.instructions, 1000u);
  EXPECT_EQ(scheduler.now, before + 1000);
  EXPECT_EQ(cpu.pc, 0x80002000u);
  EXPECT_EQ(turn_at(0x80002000, polls_mi, 100000, 602).instructions, 600u);  // the budget
  EXPECT_EQ(turn_at(0x80002000, "loop: b loop\n nop", 100).instructions, 100u);
  const char* polls_cause = "wait: mfc0 $t0, $13\n andi $t0, $t0, 0x8000\n beqz $t0, wait\n nop";
  EXPECT_EQ(turn_at(0x80004000, polls_cause, 1002).instructions, 1000u);
  // A register that counts with the clock: up to its next change, the next line.
  const uint64_t next_line = console_devices.vi.read_steady_until(VideoInterface::kVCurrent * 4);
  EXPECT_GT(turn_at(0x80003000, "wait: lw $t0, 0x10($a1)\n beq $t0, $zero, wait\n nop", 1u << 30)
                .instructions,
            3u);
  EXPECT_LE(scheduler.now, next_line);
  EXPECT_GT(scheduler.now + 3, next_line);

  // Not skipped: a register carried from one time round to the next, a store, a breakpoint in
  // the loop.
  const char* carried = "loop: addiu $t0, $t0, -1\n bne $t0, $zero, loop\n nop";
  const char* stores = "wait: lw $t0, 8($a0)\n sw $t0, 0x100($zero)\n beq $t0, $zero, wait\n nop";
  for (const char* loop : {carried, stores}) {
    SCOPED_TRACE(loop);
    before = scheduler.now;
    cpu.gpr[8] = 0;
    EXPECT_EQ(turn_at(0x80003000, loop, 1000).instructions, 0u);
    EXPECT_EQ(scheduler.now, before);
  }
  user_breakpoints.insert(0x80002008);
  EXPECT_EQ(turn_at(0x80002000, polls_mi, 1000).instructions, 0u);
  user_breakpoints.clear();
}

}  // namespace
