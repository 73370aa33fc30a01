#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "memory/instruction_fetch.h"

inline constexpr uint32_t kStopAddress = 0x040000A8;
inline constexpr uint32_t kBreakpointAddress = 0x040000B0;

// One instruction on behalf of a debugger window: fetch, execute, count, the count in the title
// ("Korvel", two blanks, Count in hex) and the unhandled-opcode stop. Returns 0, or -1 after an
// unhandled opcode. Call it with the run thread parked (`ExecutionController::step` does).
int step_instruction(RunObserver* observer = nullptr);

// Owns the run thread. All of it is called from the window thread only.
//
// The run thread holds `state_mutex_` while it executes and lets go of it only between two
// instructions, so whatever the window thread does under a `ScopedPause` never sees the middle of
// an instruction. While the window thread waits for the run thread it keeps serving the host's
// pending requests, so a message box the run thread is blocked on is shown instead of deadlocking.
class ExecutionController {
 public:
  ExecutionController() = default;
  ~ExecutionController();
  ExecutionController(const ExecutionController&) = delete;
  ExecutionController& operator=(const ExecutionController&) = delete;

  // Ends the previous run thread, then starts a new one at the current state (the caller sets
  // `running`). An observer, when given, sees every fetch and instruction of the run.
  void start(RunObserver* observer = nullptr);

  // Asks the run thread to end after its current instruction and waits for it (Close ROM, Exit,
  // Start). `running` is left as it is, and a count not yet shown in the title never will be.
  void end_run_thread();

  // Clears `running` and waits until the run thread has ended, so that the state holds still (the
  // debugger windows). The run's last count still reaches the title.
  void halt();

  // Waits until the run thread ends by itself and returns its result: 1 when `running` was clear,
  // -1 after an unhandled opcode. 1 when there is no run thread.
  int wait_for_run_end();

  bool has_run_thread() const { return thread_.joinable(); }

  // A single step, taken between two of the run thread's instructions if one is executing.
  int step(RunObserver* observer = nullptr);

  // Parks the run thread at an instruction boundary for as long as it lives, so the window thread
  // can read and change processor and memory state. Nests.
  class ScopedPause {
   public:
    explicit ScopedPause(ExecutionController& controller);
    ~ScopedPause();
    ScopedPause(const ScopedPause&) = delete;
    ScopedPause& operator=(const ScopedPause&) = delete;

   private:
    ExecutionController& controller_;
  };

  // The count the run thread last completed, for the title; published after every instruction.
  uint64_t published_count() const { return published_count_.load(std::memory_order_relaxed); }

  // Shows `title_text`, a blank and the published count in the title when the count is shown and
  // has changed since it was last shown; while the count is hidden, takes the published one as
  // seen. The window thread calls this periodically while a run is going on and once after it
  // ends, so the last title is exact.
  void refresh_count_title();

  // Scheduling priority of the run thread as a nice value; a request the system refuses (raising
  // the priority without the right to) changes nothing. No effect without a run thread.
  void set_run_thread_priority(int nice_value);

  // Restores the state of a fresh program (for the tests): no run thread, no title shown.
  void reset();

 private:
  enum Request : uint32_t { kPauseRequest = 1, kStopRequest = 2 };

  template <class Observer>
  int run_loop(Observer& observer);
  // The run thread's procedure: the run loop, with or without an observer.
  void run_thread(RunObserver* observer);
  // Called by the run thread when a request is up; false when it is to end.
  bool park_if_requested(std::unique_lock<std::mutex>& lock);
  void lock_serving_requests();
  // Ends the run thread, if there is one, at its next instruction boundary.
  void stop_run_thread();
  void wait_for_thread_end();

  std::thread thread_;
  std::mutex state_mutex_;
  std::condition_variable resumed_;
  std::atomic<uint32_t> requests_{0};
  std::atomic<bool> thread_finished_{true};
  std::atomic<int> run_thread_tid_{0};
  std::atomic<uint64_t> published_count_{0};
  std::atomic<int> run_result_{1};
  int pause_depth_ = 0;  // window thread only
  uint64_t shown_count_ = UINT64_MAX;
};

extern ExecutionController execution;

// Start CPU: "Korvel - " + the ROM's name (its path when the name is empty) + " - Running" in the
// title, the header lines no longer painted, `running` set, and a new run thread in place of the
// previous one.
void start_cpu(RunObserver* observer = nullptr);
