#include "machine/history/history.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <optional>

#include "cpu/scheduler.h"
#include "machine/execution.h"

namespace {

// What the window thread asks of the history, it asks with no run going on.
[[maybe_unused]] bool window_thread_at_rest() {
  return !execution.on_run_thread() && execution.run_ended();
}

}  // namespace

bool History::start(uint64_t budget, uint64_t interval, std::chrono::milliseconds period) {
  assert(window_thread_at_rest());
  if (budget < smallest_budget()) return false;
  // Positions stay far from wrapping around however the interval is chosen.
  interval_ = std::clamp<uint64_t>(interval, 1, uint64_t{1} << 48);
  period_ = period;
  clock_.set(0);
  snapshot_time_ = {};
  store_.begin(budget, 0);
  code_pages.marks_wanted = true;
  newest_taken_ = std::chrono::steady_clock::now();
  set_history_hook(this);
  arm();
  return true;
}

void History::stop() {
  assert(window_thread_at_rest());
  if (history_hook() == this) set_history_hook(nullptr);
  code_pages.marks_wanted = false;
  store_.clear();
  landing_.reset();
}

void History::arm() {
  const uint64_t now = clock_.now();
  const uint64_t due = store_.newest_position() + interval_;
  uint64_t wait = due > now ? due - now : 0;
  if (period_.count() > 0) wait = std::min(wait, kClockLook);
  // At the run loop's next look: a snapshot is overdue (single steps led here), or the run is to
  // leave the snapshots ahead of it behind.
  scheduler.schedule(Event::snapshot, landing_ ? scheduler.now : scheduler.now + wait);
}

void History::leave_landing() {
  if (landing_ && position() != *landing_) store_.drop_after(*landing_);
  landing_.reset();
}

void History::landed() {
  if (store_.newest_position() > position()) landing_ = position();
  arm();
}

// On the run thread, or on the window thread for a single step; either way between two
// instructions, with the other thread kept away by the run loop's lock.
void History::take_due_snapshot() {
  // A run is on its way forward from where the machine landed.
  if (landing_) store_.drop_after(*landing_);
  landing_.reset();
  const uint64_t now = clock_.now();
  const uint64_t newest = store_.newest_position();
  const uint64_t since = now > newest ? now - newest : 0;
  const auto started = std::chrono::steady_clock::now();
  const bool by_clock =
      period_.count() > 0 && since >= kClockLook && started - newest_taken_ >= period_;
  if (since >= interval_ || by_clock) {
    store_.take(now);
    newest_taken_ = std::chrono::steady_clock::now();
    snapshot_time_ += newest_taken_ - started;
  }
  arm();
}

ReverseEnd History::go_to(uint64_t target, const KeepGoing& keep_going) {
  assert(window_thread_at_rest());
  if (!recording()) return ReverseEnd::at_start;
  leave_landing();
  const bool before_start = target < first_position();
  if (before_start) target = first_position();
  if (target < position()) {
    clock_.set(store_.restore(target));
  } else {
    store_.drop_after(position());  // a move forward, as a run's
  }
  const bool arrived = replay_to(target, clock_, keep_going);
  landed();
  if (!arrived) return ReverseEnd::interrupted;
  return before_start ? ReverseEnd::at_start : ReverseEnd::arrived;
}

ReverseEnd History::step_back(const KeepGoing& keep_going) {
  if (!recording() || position() == first_position()) return ReverseEnd::at_start;
  return go_to(position() - 1, keep_going);
}

ReverseEnd History::continue_back(const KeepGoing& keep_going) {
  assert(window_thread_at_rest());
  if (!recording()) return ReverseEnd::at_start;
  leave_landing();
  landing_watch_.reset();
  // Stretch by stretch, newest first: each from a snapshot through the instruction that leads to
  // `end`, noting the stops before it.
  for (uint64_t end = position(); end > first_position();) {
    const uint64_t from = store_.restore(end - 1);
    clock_.set(from);
    std::optional<PastStop> last_stop;
    if (!replay_to(end, clock_, keep_going, &last_stop, end)) {
      landed();
      return ReverseEnd::interrupted;
    }
    if (last_stop) {
      landing_watch_ = last_stop->watch;
      return go_to(last_stop->position, keep_going);
    }
    end = from;
  }
  const ReverseEnd end = go_to(first_position(), keep_going);
  return end == ReverseEnd::arrived ? ReverseEnd::at_start : end;
}

void History::outside_input_applied() {
  if (landing_) store_.drop_after(*landing_);
  landing_.reset();
  store_.take(clock_.now());
  arm();
}

void History::debugger_write_begins() {
  assert(!execution.on_run_thread() && execution.instructions_held());
  write_position_ = position();
}

void History::debugger_write_ended() {
  landing_.reset();
  store_.drop_after(write_position_);
  store_.take(write_position_);
  clock_.set(write_position_);
  arm();
}
