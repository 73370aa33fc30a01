#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "tests/support/core_fixture.h"
#include "tests/support/program_rom.h"

namespace {

// Behaves like the desktop's host: a message box raised on another thread waits until the window
// thread (the test's own) gets round to showing it, and the box is dismissed when shown.
class WindowThreadHost final : public Host {
 public:
  void message_box(const char*, const char*) override {
    if (std::this_thread::get_id() == window_thread_) {
      ++shown_;
      return;
    }
    std::promise<void> dismissed;
    std::future<void> done = dismissed.get_future();
    {
      std::lock_guard lock(mutex_);
      pending_.push_back(std::move(dismissed));
    }
    window_thread_wake().notify();
    done.wait();
  }
  void set_title(const char*) override {}
  void serve_pending_requests() override {
    ++serves_;
    std::deque<std::promise<void>> requests;
    {
      std::lock_guard lock(mutex_);
      requests.swap(pending_);
    }
    for (auto& request : requests) {
      ++shown_;
      request.set_value();
    }
    // The event loop that showed a box goes on to the command the user chose next.
    if (!requests.empty() && command_after_box) std::exchange(command_after_box, nullptr)();
  }
  int shown() const { return shown_; }
  int serves() const { return serves_; }
  bool box_pending() {
    std::lock_guard lock(mutex_);
    return !pending_.empty();
  }

  std::function<void()> command_after_box;  // run once, by the serving that dismisses a box

 private:
  std::thread::id window_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::deque<std::promise<void>> pending_;
  int shown_ = 0;   // window thread only
  int serves_ = 0;  // window thread only
};

// Counts every fetch, on the run thread and on steps alike.
class FetchCounter final : public RunObserver {
 public:
  uint64_t unseen_allowed() override { return 0; }
  void fetched(uint32_t, uint32_t) override { fetches.fetch_add(1, std::memory_order_relaxed); }
  void instructions_done(uint64_t) override {}
  std::atomic<uint64_t> fetches{0};
};

// A loop that raises a read error (a message box, and the end of the run) every 64 rounds. The
// address is set inside the loop: a Reset CPU between a taken branch and its slot keeps the slot
// pending, as 0.2c does, so the first instruction after it may be skipped.
constexpr const char* kProgram = R"(
  loop:
      addiu $t0, $t0, 1
      andi $t1, $t0, 0x3F
      bne $t1, $zero, loop
      nop
      lui $t3, 0x0500
      lw $t2, 0($t3)
      beq $zero, $zero, loop
      nop
)";

TEST(ExecutionStress, MixedCommandsAgainstARunThreadRaisingMessageBoxes) {
  reset_all_state();
  WindowThreadHost window;
  set_host(&window);
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir, kProgram), 1);

  FetchCounter counter;
  uint64_t count_base = cpu.cp0[kCountRegister];
  uint64_t fetch_base = 0;
  int checks = 0;
  auto check_count = [&] {
    ExecutionController::ScopedPause pause(execution);
    ASSERT_EQ(cpu.cp0[kCountRegister] - count_base, counter.fetches.load() - fetch_base);
    ++checks;
  };

  std::mt19937 random(12345);
  for (int command = 0; command < 3000; ++command) {
    switch (random() % 9) {
      case 0:
      case 1:
        shared.running = 1;
        execution.start(&counter);
        break;
      case 2:
        shared.running = 0;  // Pause CPU
        break;
      case 3:
        execution.end_run_thread();
        break;
      case 4:
        execution.halt();
        break;
      case 5:
        for (int i = 0; i < 10; ++i) execution.step(&counter);
        break;
      case 6: {
        ExecutionController::ScopedPause pause(execution);
        reset_cpu();
        count_base = cpu.cp0[kCountRegister];
        fetch_base = counter.fetches.load();
        break;
      }
      case 7:
        shared.show_count = !shared.show_count;
        execution.refresh_count_title();
        break;
      default:
        check_count();
        break;
    }
    window.serve_pending_requests();  // the event loop goes on between commands
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
  }
  // A last run, to its read error: boxes raised on the run thread and served by this one.
  const int shown_before = window.shown();
  shared.running = 1;
  execution.start(&counter);
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::memory_error);
  EXPECT_GT(window.shown(), shown_before);
  execution.halt();
  check_count();

  EXPECT_GT(checks, 10);
  EXPECT_GT(window.shown(), 0);  // message boxes were raised and served
  EXPECT_GT(counter.fetches.load(), 1000u);
  set_host(nullptr);
  reset_all_state();
}

// The window thread sleeps while it waits for the run thread, and is woken only by what concerns
// it: the run thread parked for its pause, a message box posted, the run's end. Waits that polled
// would have served the host over and over during the loop.
TEST(ExecutionWaits, TheWindowThreadIsWokenOnlyByTheRunThreadsEvents) {
  reset_all_state();
  WindowThreadHost window;
  set_host(&window);
  TempDir dir;
  // Two million instructions, then a read error: its message box, and the end of the run. On the
  // exact path, which takes them one at a time, they last many times as long as a poll's sleep.
  shared.engine = Engine::exact;
  ASSERT_EQ(load_program_rom(dir, R"(
      lui $t0, 0x000A
  loop:
      addiu $t0, $t0, -1
      bne $t0, $zero, loop
      nop
      lui $t3, 0x0500
      lb $t2, 0($t3)
  )"),
            1);
  shared.running = 1;
  execution.start();
  { ExecutionController::ScopedPause pause(execution); }
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::memory_error);
  EXPECT_EQ(window.shown(), 1);
  // A first look in each of the two waits, then one wake-up for each event.
  EXPECT_LE(window.serves(), 5);
  set_host(nullptr);
  reset_all_state();
}

// Both threads build texts in the scratch text, so taking it needs the run thread's instructions
// held by whoever is not the run thread.
TEST(ExecutionDeathTest, TheScratchTextIsTakenOnlyWithTheRunThreadsInstructionsHeld) {
  // The dying child starts afresh rather than forked from a process with a run thread.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  reset_all_state();
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir, "loop: beq $zero, $zero, loop\n nop"), 1);
  shared.running = 1;
  execution.start();
  EXPECT_DEBUG_DEATH(shared.message_text().set("window"), "message_text_user");
  {
    ExecutionController::ScopedPause pause(execution);
    shared.message_text().set("paused");
  }
  execution.halt();
  EXPECT_STREQ(shared.message_text().c_str(), "paused");
  reset_all_state();
}

TEST(ExecutionStress, ACommandRunWhileAPauseWaitsForTheRunThreadLeavesThePauseSound) {
  reset_all_state();
  WindowThreadHost window;
  set_host(&window);
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir, "lui $t3, 0x0500\n lw $t2, 0($t3)"), 1);
  shared.running = 1;
  execution.start();  // blocks on the read error's message box, holding the machine
  while (!window.box_pending()) std::this_thread::yield();
  // The pause below waits for the run thread and serves the box meanwhile; the same event loop
  // then runs a command that ends the run and reads the registers, before the pause is taken.
  bool read_in_command = false;
  window.command_after_box = [&] {
    execution.halt();
    ExecutionController::ScopedPause inner(execution);
    read_in_command = cpu.gpr[11] == 0x05000000;
  };
  {
    ExecutionController::ScopedPause outer(execution);
    EXPECT_TRUE(read_in_command);
    EXPECT_FALSE(execution.has_run_thread());
  }
  // Nothing is left held: a new run starts, runs and can be halted.
  reset_cpu();
  cpu.pc = 0x04000048;  // past the failing load: zero words up to the stop address
  shared.running = 1;
  execution.start();
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::stop_address);
  EXPECT_GT(cpu.cp0[kCountRegister], 1u);
  set_host(nullptr);
  reset_all_state();
}

}  // namespace
