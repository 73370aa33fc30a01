#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "memory/memory_map.h"

// What a watchpoint stops on: gdb's three kinds (its Z2, Z3 and Z4 packets).
enum class WatchKind : uint8_t { write, read, access };

struct Watchpoint {
  uint32_t address;  // as the debugger gave it
  uint32_t length;   // 1 to 8 bytes
  WatchKind kind;

  bool operator==(const Watchpoint&) const = default;
};

// A data access that touched a watched byte.
struct WatchHit {
  WatchKind kind;    // the watchpoint's
  bool write;        // what the access did
  uint32_t address;  // the lowest watched byte it touched, as its watchpoint names it
  std::optional<DmaSource> dma =
      std::nullopt;  // the DMA engine that wrote it, if not the processor
};

// Bytes a run stops after an instruction has touched: a data access of any width (the partial
// loads count the bytes they touch, cartridge reads too), matched by physical address, so that
// every alias of a byte counts. Instruction fetches and a debugger's own reads and writes never
// do. The exact path reports the accesses; the fast engines leave every access to a page holding a
// watched byte to it. Changed only while no instruction executes (debug builds check).
//
// Writes by the console's DMA engines count as writes, the engine named, once their bytes are in
// place: between two instructions, so that the run stops after the instruction during which the
// DMA wrote.
class Watchpoints final : public DataWatch, public DmaWatch {
 public:
  static constexpr std::size_t kMost = 64;

  // False, with nothing changed, when kMost are set already or the length is not 1 to 8.
  bool insert(const Watchpoint& watchpoint);
  // False when no such watchpoint is set.
  bool erase(const Watchpoint& watchpoint);
  void clear();
  bool empty() const { return set_.empty(); }

  // Whether code page `page` holds a watched byte; for translated code, the marks of every page.
  bool page_watched(int page) const { return watched_pages_[page] != 0; }
  const uint8_t* page_marks() const { return watched_pages_.data(); }

  // While false (a replay), hits are noted but runs go on past them.
  bool stops_runs = true;

  // The access an instruction made to a watched byte, noted until taken: the lowest such byte of
  // the instructions since, and the first of their kinds.
  bool hit_pending() const { return hit_.has_value(); }
  std::optional<WatchHit> take_hit();

  void data_read(uint32_t physical) override { note(physical, false); }
  void data_written(uint32_t physical) override { note(physical, true); }
  void dma_written(uint32_t physical, uint32_t length, DmaSource source) override;

 private:
  void note(uint32_t physical, bool write, std::optional<DmaSource> dma = std::nullopt);
  void mark_pages();

  std::vector<Watchpoint> set_;
  std::array<uint8_t, kCodePages> watched_pages_{};
  std::optional<WatchHit> hit_;
};

// The machine object owns them: machine/object/machine.h.
extern Watchpoints& watchpoints;

// Lets the exact path's data accesses reach the watchpoints for as long as it lives, when
// `watching` (the run loop asks `watchpoints.empty()` once a batch): around each instruction's
// execution, after its fetch.
class WatchedAccesses {
 public:
  explicit WatchedAccesses(bool watching) : watching_(watching) {
    if (watching_) memory_hooks.data_watch = &watchpoints;
  }
  ~WatchedAccesses() {
    if (watching_) memory_hooks.data_watch = nullptr;
  }
  WatchedAccesses(const WatchedAccesses&) = delete;
  WatchedAccesses& operator=(const WatchedAccesses&) = delete;

 private:
  const bool watching_;
};
