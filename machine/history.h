#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "machine/history_window.h"
#include "machine/instruction_clock.h"
#include "machine/replay.h"
#include "machine/snapshot_store.h"

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
// its own). Window thread only, while no run is going on.
class History {
 public:
  static constexpr uint64_t kDefaultBudget = uint64_t{256} << 20;
  static constexpr uint64_t kDefaultInterval = uint64_t{1} << 28;
  static constexpr std::chrono::milliseconds kDefaultPeriod{50};
  // Snapshots by the clock are this many instructions apart at least; the run loop looks at the
  // clock once every so many.
  static constexpr uint64_t kClockLook = uint64_t{1} << 20;

  // The smallest budget that holds a snapshot of the whole machine.
  static uint64_t smallest_budget() { return SnapshotStore::smallest_budget(); }

  // Starts recording at the current state, which becomes the start of history. False, with
  // nothing changed, for a budget below `smallest_budget()`. A period of 0 spaces the snapshots by
  // `interval` alone.
  bool start(uint64_t budget = kDefaultBudget, uint64_t interval = kDefaultInterval,
             std::chrono::milliseconds period = kDefaultPeriod);
  void stop();
  bool recording() const { return !store_.empty(); }

  // Where the machine stands, and the earliest point still kept (the budget drops the oldest).
  uint64_t position() const { return clock_.now(); }
  uint64_t first_position() const { return store_.first_position(); }
  uint64_t bytes_used() const { return store_.bytes_used(); }
  std::size_t snapshot_count() const { return store_.snapshot_count(); }
  // What the runs have spent taking snapshots since recording started.
  std::chrono::duration<double> snapshot_time() const { return snapshot_time_; }

  // One instruction back; at the start of history nothing changes.
  ReverseEnd step_back(const KeepGoing& keep_going = {});
  // Back to the latest point before this one where a forward run would have stopped: before an
  // instruction at a user breakpoint, or after one that left pc on a stop address. The start of
  // history when there is none.
  ReverseEnd continue_back(const KeepGoing& keep_going = {});
  // To `target`, earlier or later; a target before the first point kept goes to that one.
  ReverseEnd go_to(uint64_t target, const KeepGoing& keep_going = {});

  // Held around each write of the debugger's: the point where the machine stands becomes the end
  // of history, and the state written is kept there.
  class DebuggerWrite {
   public:
    DebuggerWrite();
    ~DebuggerWrite();
    DebuggerWrite(const DebuggerWrite&) = delete;
    DebuggerWrite& operator=(const DebuggerWrite&) = delete;

   private:
    uint64_t position_;
  };

 private:
  friend void take_due_snapshot();
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
};

extern History history;
