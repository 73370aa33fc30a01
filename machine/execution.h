#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "machine/engines/engine.h"
#include "machine/host.h"
#include "machine/stops/stops.h"

// One instruction on behalf of a debugger window: fetch, execute, count, the count in the title
// ("Korvel", two blanks, Count in hex) and the unhandled-opcode stop. Returns 0, or -1 after an
// unhandled opcode. Call it with the run thread parked (`ExecutionController::step` does).
int step_instruction(RunObserver* observer = nullptr);

// Owns the run thread. All of it is called from the window thread only (debug builds check).
//
// The run thread holds `state_mutex_` while it executes and lets go of it only between two
// instructions, so whatever the window thread does under a `ScopedPause` never sees the middle of
// an instruction. While the window thread waits for the run thread it sleeps on
// `window_thread_wake()` and serves the host's pending requests at every wake-up, so a message box
// the run thread is blocked on is shown instead of deadlocking.
class ExecutionController {
 public:
  ExecutionController() = default;
  ~ExecutionController();
  ExecutionController(const ExecutionController&) = delete;
  ExecutionController& operator=(const ExecutionController&) = delete;

  // Ends the previous run thread, then starts a new one at the current state (the caller sets
  // `running`) on the engines `shared.engine` chooses; returns once the thread runs. An observer,
  // when given, sees every fetch and instruction of the run. The run executes its first
  // instruction even where a user breakpoint stands, so that a run continues from the breakpoint
  // it stopped at.
  void start(RunObserver* observer = nullptr);

  // Asks the run thread to end after its current instruction and waits for it (Close ROM, Exit,
  // Start). `running` is left as it is, and a count not yet shown in the title never will be.
  void end_run_thread();

  // Clears `running` and waits until the run thread has ended, so that the state holds still (the
  // debugger windows). The run's last count still reaches the title.
  void halt();

  // Asks the run to stop at the next instruction boundary that is not between a taken branch and
  // its delay slot (a debugger's interrupt); the run then ends as paused.
  void interrupt();

  // Whether the run thread has ended by itself (or was never started): a wait would not block.
  bool run_ended() const { return thread_finished_.load(); }

  // Waits until the run thread ends by itself and returns why it stopped; the reason of the last
  // run when there is no run thread.
  StopReason wait_for_run_end();

  bool has_run_thread() const { return thread_.joinable(); }

  // Whether the caller is the run thread.
  bool on_run_thread() const { return run_thread_id_.load() == std::this_thread::get_id(); }

  // Whether no instruction can be executing now: no run thread, or one that has ended or is
  // parked by a pause of the calling thread's. What runs read may be changed only then.
  bool instructions_held() const;

  // A single step, taken between two of the run thread's instructions if one is executing:
  // unhandled_opcode, memory_error, watchpoint or step_done.
  StopReason step(RunObserver* observer = nullptr);
  // How many single steps have been taken: a debugger that follows a run sees another's step.
  uint64_t steps_taken() const { return steps_taken_; }
  // While set (a debugger follows the run), a single step taken between the run's instructions
  // also ends the run there, as Pause CPU would.
  void set_steps_end_runs(bool on) { steps_end_runs_ = on; }

  // Parks the run thread at an instruction boundary for as long as it lives, so the window thread
  // can read and change processor and memory state. Nests, also when a message box served while
  // waiting for the run thread lets another command take a pause of its own.
  class ScopedPause {
   public:
    explicit ScopedPause(ExecutionController& controller);
    ~ScopedPause();
    ScopedPause(const ScopedPause&) = delete;
    ScopedPause& operator=(const ScopedPause&) = delete;

   private:
    ExecutionController& controller_;
  };

  // Whether the window thread holds the run thread paused now.
  bool pausing() const { return pause_depth_ > 0; }

  // The count the run thread last completed, for the title; published after every instruction.
  uint64_t published_count() const { return published_count_.load(std::memory_order_relaxed); }

  // Shows `title_text`, a blank and the published count in the title when the count is shown and
  // has changed since it was last shown; while the count is hidden, takes the published one as
  // seen. The window thread calls this periodically while a run is going on and once after it
  // ends, so the last title is exact.
  void refresh_count_title();

  // Restores the state of a fresh program (for the tests): no run thread, no title shown.
  void reset();

 private:
  // Bits of `requests_`: end the run, interrupt it; above them, how many pauses are waiting or
  // held.
  static constexpr uint32_t kStopRequest = 1;
  static constexpr uint32_t kInterruptRequest = 2;
  static constexpr uint32_t kPauseUnit = 4;

  StopReason run_loop(RunObserver* observer, std::unique_lock<std::mutex>& lock);
  void run_thread(RunObserver* observer);
  // Called by the run thread when a request is up: parks it while a pause is held. True when the
  // run is to end.
  bool ends_on_request(std::unique_lock<std::mutex>& lock);
  // Wakes the run thread where it is parked, after `requests_` changed.
  void resume_run_thread();
  void lock_serving_requests();
  // Ends the run thread, if there is one, at its next instruction boundary.
  void stop_run_thread();
  void wait_for_thread_end();
  // Sleeps until `done()`, serving the host's requests first and at every wake-up.
  template <typename Done>
  void serve_requests_until(Done done);

  std::thread thread_;
  std::atomic<std::thread::id> run_thread_id_{};
  std::span<ExecutionEngine* const> engines_;  // the run's, fastest first
  std::mutex state_mutex_;
  // The parked run thread waits on `resumed_` without holding `state_mutex_`, so that it can
  // wake the window thread once it has let go of the machine.
  std::mutex park_mutex_;
  std::condition_variable resumed_;
  // First used here, so made before this controller and gone after it: the run thread that the
  // destructor ends still notifies it.
  WakeSignal& wake_ = window_thread_wake();
  std::atomic<uint32_t> requests_{0};
  // Not through `wake_`: a notice that lands after the window thread has seen the start would
  // wake its next wait for nothing. (Nor a std::binary_semaphore: in the MinGW build, test
  // programs that used one hung at their exit under Wine.)
  std::mutex start_mutex_;
  std::condition_variable started_;
  bool thread_started_ = false;  // under `start_mutex_`
  std::atomic<bool> thread_finished_{true};
  std::atomic<uint64_t> published_count_{0};
  std::atomic<StopReason> last_reason_{StopReason::paused};
  int pause_depth_ = 0;       // window thread only, changed only while it holds `state_mutex_`
  uint64_t steps_taken_ = 0;  // window thread only, as the next
  bool steps_end_runs_ = false;
  uint64_t shown_count_ = UINT64_MAX;
};

// The machine object owns it: machine/object/machine.h.
extern ExecutionController& execution;

// Whether no instruction can be executing now, asked of the one controller: the machine's hook
// for the stops.
bool execution_holds_instructions();

// Whether the calling thread may take the scratch text now, asked of the one controller: the
// machine's hook for `SharedState::message_text`.
bool may_use_message_text();
