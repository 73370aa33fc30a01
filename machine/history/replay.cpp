#include "machine/history/replay.h"

#include <chrono>
#include <thread>

#include "machine/execution.h"
#include "machine/host.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"
#include "machine/screen_feed.h"

namespace {

// Shows nothing, but passes the run thread's notices on to the host it stands in for.
class QuietHost final : public Host {
 public:
  explicit QuietHost(Host& outer) : outer_(outer) {}
  void message_box(const char*, const char*) override {}
  void set_title(const char*) override {}
  void serve_pending_requests() override { outer_.serve_pending_requests(); }
  void run_thread_started() override { outer_.run_thread_started(); }
  void run_thread_ended() override { outer_.run_thread_ended(); }

 private:
  Host& outer_;
};

// For as long as a replay lasts: the quiet host, and no user breakpoints or watchpoints to stop
// its runs (the watchpoints still note the accesses).
class ReplayScope {
 public:
  ReplayScope() : outer_(host()), quiet_(outer_), breakpoints_(user_breakpoints) {
    set_host(&quiet_);
    user_breakpoints.clear();
    watchpoints.stops_runs = false;
    screen_feed.set_live(false);
  }
  ~ReplayScope() {
    screen_feed.set_live(true);
    watchpoints.stops_runs = true;
    user_breakpoints = breakpoints_;
    set_host(&outer_);
  }
  ReplayScope(const ReplayScope&) = delete;
  ReplayScope& operator=(const ReplayScope&) = delete;

  const UserBreakpoints& breakpoints() const { return breakpoints_; }

 private:
  Host& outer_;
  QuietHost quiet_;
  UserBreakpoints breakpoints_;
};

// Ends a run after `left` instructions, noting where a forward run would have stopped. While it
// watches breakpoints, every instruction is taken one at a time so that each fetch address is
// seen: the run itself no longer stops at them. Watched accesses are made on the exact path
// anyway, an instruction at a time.
class Countdown final : public RunObserver {
 public:
  Countdown(uint64_t left, const InstructionClock& clock, const UserBreakpoints* watched,
            std::optional<PastStop>* last_stop, uint64_t before)
      : limit_(left), clock_(clock), watched_(watched), last_stop_(last_stop), before_(before) {}

  uint64_t unseen_allowed() override { return watched_ ? 0 : limit_.unseen_allowed(); }
  void fetched(uint32_t address, uint32_t) override {
    if (watched_ && watched_->contains(address)) note({clock_.now(), std::nullopt});
  }
  void instructions_done(uint64_t count) override {
    if (last_stop_) {
      if (std::optional<WatchHit> hit = watchpoints.take_hit()) note({clock_.now(), hit});
    }
    limit_.instructions_done(count);
  }

 private:
  void note(const PastStop& stop) {
    const uint64_t began = stop.watch ? stop.position - 1 : stop.position;
    if (began < before_) *last_stop_ = stop;
  }

  InstructionLimit limit_;
  const InstructionClock& clock_;
  const UserBreakpoints* watched_;
  std::optional<PastStop>* last_stop_;
  uint64_t before_;
};

// False when `keep_going` gave up on the run, which then ends at an instruction boundary.
bool wait_for_run(const KeepGoing& keep_going) {
  constexpr int kPollsPerAsk = 20;
  for (int polls = 1; !execution.run_ended(); ++polls) {
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (keep_going && polls % kPollsPerAsk == 0 && !keep_going()) {
      execution.interrupt();
      execution.wait_for_run_end();
      return false;
    }
  }
  execution.wait_for_run_end();
  return true;
}

}  // namespace

bool replay_to(uint64_t target, const InstructionClock& clock, const KeepGoing& keep_going,
               std::optional<PastStop>* last_stop, uint64_t before) {
  ReplayScope scope;
  const UserBreakpoints* watched =
      last_stop && !scope.breakpoints().empty() ? &scope.breakpoints() : nullptr;
  for (uint64_t now = clock.now(), runs = 0;; ++runs) {
    if (last_stop && now < before && run_would_stop(cpu, scope.breakpoints())) {
      *last_stop = PastStop{now, std::nullopt};
    }
    if (now >= target) return true;
    // Between two runs too, so that a replay made of many short runs is given up as surely as
    // one long run.
    if (runs > 0 && keep_going && !keep_going()) return false;
    Countdown countdown(target - now, clock, watched, last_stop, before);
    shared.running = 1;
    execution.start(&countdown);
    const bool went_on = wait_for_run(keep_going);
    const uint64_t after = clock.now();
    // A run that reached the target while it was being given up is whole: the replay arrived.
    if (!went_on && after < target) return false;
    // Every run executes an instruction at least, unless something outside stopped it.
    if (after == now) return false;
    now = after;
  }
}
