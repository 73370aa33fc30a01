#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "machine/history/machine_frame.h"
#include "memory/memory_map.h"

// The machine's past as snapshots at instruction positions. Each holds its frame whole and, of
// the code pages, those that changed since the snapshot before it; the oldest holds every page.
// A page's copy belongs to the snapshot that took it and serves every later one until a newer
// copy is taken, so memory grows only with the pages a program writes. The marks in
// `code_pages.written` say which pages changed; the store takes and clears them.
//
// A snapshot takes the pages marked since the one before it. Pages the program did not write can
// still differ from what the newest snapshot holds after a restore, but only until the machine
// passes that snapshot again: the same instructions write them on the way. A debugger's write
// keeps this so by starting a new timeline (see `History`).
//
// Everything stays within a budget of bytes: the oldest snapshots go first, their pages passing
// to the next one when it has none of its own. Not thread-safe: the run thread uses it between
// instructions, the window thread while no instruction executes.
class SnapshotStore {
 public:
  SnapshotStore() = default;
  SnapshotStore(const SnapshotStore&) = delete;
  SnapshotStore& operator=(const SnapshotStore&) = delete;

  // The bytes of a store that holds one snapshot of a machine with `rdram_bytes` of RDRAM: no
  // smaller budget can be kept.
  static uint64_t smallest_budget(uint32_t rdram_bytes);

  // Empties the store and takes the current state, every page of it, at `position`. The budget
  // is at least `smallest_budget(bus.rdram_bytes)`.
  void begin(uint64_t budget, uint64_t position);
  // Frees everything.
  void clear();

  bool empty() const { return snapshots_.empty(); }
  uint64_t first_position() const { return snapshots_.front().position; }
  uint64_t newest_position() const { return snapshots_.back().position; }
  std::size_t snapshot_count() const { return snapshots_.size(); }
  // All the store holds: snapshots, page copies (the spare ones too) and their bookkeeping.
  uint64_t bytes_used() const;

  // Takes the current state at `position`, which is not before the newest snapshot's. At the
  // newest's own position it takes that one's place, so that it holds what was written there.
  void take(uint64_t position);
  // Forgets every snapshot after `position` (the first one stays).
  void drop_after(uint64_t position);
  // Puts the machine in the state of the newest snapshot at or before `position` (not before
  // the first one's) and returns that snapshot's position.
  uint64_t restore(uint64_t position);

 private:
  static constexpr std::size_t kPageBytes = 4096;
  struct Page {
    uint8_t bytes[kPageBytes];
  };
  // One copy of a page: it shows the page from the snapshot `serial` on.
  struct PageCopy {
    uint64_t serial;
    std::unique_ptr<Page> page;
  };
  struct Snapshot {
    uint64_t serial;  // snapshots and page copies are matched by serial, which is never reused
    uint64_t position;
    MachineFrame frame;
  };

  // What taking a snapshot adds to the bytes used; in place, it adds no snapshot.
  uint64_t bytes_to_take(bool in_place) const;
  void drop_oldest();
  std::unique_ptr<Page> new_page();
  void recycle(std::unique_ptr<Page> page);

  uint64_t budget_ = 0;
  uint64_t next_serial_ = 1;
  std::deque<Snapshot> snapshots_;
  std::array<std::vector<PageCopy>, kCodePages> copies_;  // each oldest first
  // The serial of the copy each page of memory equals while it is not marked written (a serial
  // no longer kept matches nothing), so that a restore copies only the pages that differ.
  std::array<uint64_t, kCodePages> resident_{};
  std::vector<std::unique_ptr<Page>> spare_;  // freed copies, taken again before new ones
  std::size_t live_pages_ = 0;
};
