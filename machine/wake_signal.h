#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A count that moves with every event some thread may be waiting for. A waiter reads the count,
// then looks at what it waits for, and sleeps only until the count moves past what it read: an
// event between its look and its sleep wakes it all the same.
class WakeSignal {
 public:
  uint64_t count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

  // Any thread, after the event it signals has taken effect.
  void notify() {
    {
      std::lock_guard lock(mutex_);
      ++count_;
    }
    moved_.notify_all();
  }

  void wait_past(uint64_t seen) {
    std::unique_lock lock(mutex_);
    moved_.wait(lock, [&] { return count_ != seen; });
  }

  // As wait_past, but no later than `deadline`.
  void wait_past(uint64_t seen, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    moved_.wait_until(lock, deadline, [&] { return count_ != seen; });
  }

  // Blocks until `done()` holds, calling `between()` first and again after every wake-up.
  template <typename Done, typename Between>
  void wait_until(Done done, Between between) {
    for (;;) {
      const uint64_t seen = count();
      between();
      if (done()) return;
      wait_past(seen);
    }
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable moved_;
  uint64_t count_ = 0;
};
