#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "cpu/shared_state.h"
#include "memory/execution.h"
#include "memory/rom.h"
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
    done.wait();
  }
  void set_title(const char*) override {}
  void enable_menu_item(int) override {}
  void serve_pending_requests() override {
    std::deque<std::promise<void>> requests;
    {
      std::lock_guard lock(mutex_);
      requests.swap(pending_);
    }
    for (auto& request : requests) {
      ++shown_;
      request.set_value();
    }
  }
  int shown() const { return shown_; }

 private:
  std::thread::id window_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::deque<std::promise<void>> pending_;
  int shown_ = 0;  // window thread only
};

// Counts every fetch, on the run thread and on steps alike.
class FetchCounter final : public RunObserver {
 public:
  void fetched(uint32_t, uint32_t) override { fetches.fetch_add(1, std::memory_order_relaxed); }
  void instruction_done() override {}
  std::atomic<uint64_t> fetches{0};
};

// A loop that raises a read error (a message box, and the end of the run) every 64 rounds.
constexpr const char* kProgram = R"(
      lui $t3, 0x0500
  loop:
      addiu $t0, $t0, 1
      andi $t1, $t0, 0x3F
      bne $t1, $zero, loop
      nop
      lw $t2, 0($t3)
      beq $zero, $zero, loop
      nop
)";

TEST(ExecutionStress, MixedCommandsAgainstARunThreadRaisingMessageBoxes) {
  reset_core_state();
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
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < deadline) {
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
  execution.halt();
  check_count();

  EXPECT_GT(checks, 10);
  EXPECT_GT(window.shown(), 0);  // message boxes were raised and served
  EXPECT_GT(counter.fetches.load(), 1000u);
  set_host(nullptr);
  reset_core_state();
}

}  // namespace
