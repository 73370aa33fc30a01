// The CPU Thread menu's priorities reach the run thread, and only it.
#include "platform/thread_priority.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/host_system.h"

namespace {

// A thread that reads its own rank when asked to, standing in for the run thread.
class RankedThread {
 public:
  explicit RankedThread(RunThreadPriority& priority)
      : thread_([this, &priority] {
          priority.thread_started();
          for (int seen = 0; seen < 4; ++seen) {
            while (asked_ == seen) std::this_thread::yield();
            rank_ = this_thread_rank();
            answered_ = seen + 1;
          }
          priority.thread_ended();
        }) {}
  ~RankedThread() { thread_.join(); }

  int rank() {
    const int question = ++asked_;
    while (answered_ != question) std::this_thread::yield();
    return rank_;
  }

 private:
  std::atomic<int> asked_{0};
  std::atomic<int> answered_{0};
  std::atomic<int> rank_{0};
  std::thread thread_;
};

TEST(RunThreadPriority, LowNormalAndHighReachTheRunThreadAlone) {
  RunThreadPriority priority;
  const int own = this_thread_rank();
  RankedThread run_thread(priority);
  const int normal = run_thread.rank();
  // Raising it may need a right the tests do not have, and so may coming back from Low: High
  // first, then Normal, then Low.
  priority.set(RunPriority::high);
  EXPECT_GE(run_thread.rank(), normal);
  priority.set(RunPriority::normal);
  EXPECT_EQ(run_thread.rank(), normal);
  priority.set(RunPriority::low);
  EXPECT_LT(run_thread.rank(), normal);
  EXPECT_EQ(this_thread_rank(), own);
}

}  // namespace
