#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "machine/history/instruction_clock.h"
#include "machine/history/replay.h"
#include "machine/history/snapshot_store.h"
#include "machine/history_hook.h"

// How a move backwards ended.
enum class ReverseEnd : uint8_t {
  arrived,      // at the point asked for
  at_start,     // at the start of history, with nothing before it
  interrupted,  // given up on the way, at an instruction boundary
};

// Steps backwards. While recording, the run loop keeps the past as snapshots: every `period` of
// running, so that a step back replays about that long whatever the engine, and at most every
// `interval` instructions (between batches, so a little later). Going back puts the newest
// snapshot at or before the point in place and replays from it to exactly that point. The machine
// is deterministic given its state and the cartridge image, so the replay does again what was done.
// Going forward after going back simply runs on, and leaves the snapshots after that point
// behind as it does: a debugger's write, the one outside input, may lie among them. A write also
// starts a new timeline at once, from where the machine stands.
//
// Positions count the instructions executed since the start of history (a delay slot is one of
// its own). The window thread calls it while no run is going on (debug builds check); a run
// thread takes the snapshots that fall due on its way, through the machine's history hook, which
// the history installs while it records.
class History final : private HistoryHook {
 public:
  static constexpr uint64_t kDefaultBudget = uint64_t{256} << 20;
  static constexpr uint64_t kDefaultInterval = uint64_t{1} << 28;
  static constexpr std::chrono::milliseconds kDefaultPeriod{50};
  // Snapshots by the clock are this many instructions apart at least; the run loop looks at the
  // clock once every so many.
  static constexpr uint64_t kClockLook = uint64_t{1} << 20;

  History() = default;
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // The smallest budget that holds a snapshot of the whole machine, with `rdram_bytes` of RDRAM.
  static uint64_t smallest_budget(uint32_t rdram_bytes = bus.rdram_bytes) {
    return SnapshotStore::smallest_budget(rdram_bytes);
  }

  // Starts recording at the current state, which becomes the start of history. False, with
  // nothing changed, for a budget below `smallest_budget()`. A period of 0 spaces the snapshots by
  // `interval` alone.
  bool start(uint64_t budget = kDefaultBudget, uint64_t interval = kDefaultInterval,
             std::chrono::milliseconds period = kDefaultPeriod);
  void stop();
  bool recording() const { return !store_.empty(); }

  // Where the machine stands, and the earliest point still kept (the budget drops the oldest);
  // both 0 while nothing records.
  uint64_t position() const { return recording() ? clock_.now() : 0; }
  uint64_t first_position() const { return recording() ? store_.first_position() : 0; }
  uint64_t bytes_used() const { return store_.bytes_used(); }
  std::size_t snapshot_count() const { return store_.snapshot_count(); }
  // What the runs have spent taking snapshots since recording started.
  std::chrono::duration<double> snapshot_time() const { return snapshot_time_; }

  // One instruction back; at the start of history nothing changes.
  ReverseEnd step_back(const KeepGoing& keep_going = {});
  // Back to the latest point before this one where a forward run would have stopped: before an
  // instruction at a user breakpoint, after one that left pc on a stop address, or after the
  // latest instruction before this point that touched a watched byte (its access is then
  // `landing_watch()`; that may be the very last one, and the machine then stays where it is). The
  // start of history when there is none.
  ReverseEnd continue_back(const KeepGoing& keep_going = {});
  const std::optional<WatchHit>& landing_watch() const { return landing_watch_; }
  // To `target`, earlier or later; a target before the first point kept goes to that one.
  ReverseEnd go_to(uint64_t target, const KeepGoing& keep_going = {});

 private:
  void take_due_snapshot() override;
  void outside_input_applied() override;
  void debugger_write_begins() override;
  void debugger_write_ended() override;

  // Sets the run loop's window to close when the next snapshot is due, or at once when a run
  // would leave snapshots behind.
  void arm();
  // Drops what a move forward from where the machine landed has left behind.
  void leave_landing();
  // After a move backwards: where it left the machine.
  void landed();

  SnapshotStore store_;
  InstructionClock clock_;
  uint64_t interval_ = kDefaultInterval;
  std::chrono::milliseconds period_ = kDefaultPeriod;
  std::chrono::steady_clock::time_point newest_taken_;  // when the newest snapshot was taken
  // Where a move backwards left the machine, while snapshots after that point are kept.
  std::optional<uint64_t> landing_;
  std::chrono::duration<double> snapshot_time_{};
  uint64_t write_position_ = 0;            // where a debugger's write began
  std::optional<WatchHit> landing_watch_;  // the access the last move backwards landed before
};

// The machine object owns it: machine/object/machine.h.
extern History& history;
