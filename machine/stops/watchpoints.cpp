#include "machine/stops/watchpoints.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "machine/stops/stop_hooks.h"
#include "machine/stops/user_breakpoints.h"

namespace {

bool watches(WatchKind kind, bool write) {
  return kind == WatchKind::access || (kind == WatchKind::write) == write;
}

}  // namespace

bool Watchpoints::insert(const Watchpoint& watchpoint) {
  assert(run_parked());
  if (set_.size() >= kMost || watchpoint.length < 1 || watchpoint.length > 8) return false;
  set_.push_back(watchpoint);
  mark_pages();
  return true;
}

bool Watchpoints::erase(const Watchpoint& watchpoint) {
  assert(run_parked());
  auto found = std::ranges::find(set_, watchpoint);
  if (found == set_.end()) return false;
  set_.erase(found);
  mark_pages();
  return true;
}

void Watchpoints::clear() {
  assert(run_parked());
  set_.clear();
  hit_.reset();
  stops_runs = true;
  mark_pages();
}

std::optional<WatchHit> Watchpoints::take_hit() {
  return std::exchange(hit_, std::nullopt);
}

void Watchpoints::note(uint32_t physical, bool write, std::optional<DmaSource> dma) {
  for (const Watchpoint& watchpoint : set_) {
    const uint32_t offset = physical - translate_address(watchpoint.address);
    if (offset >= watchpoint.length || !watches(watchpoint.kind, write)) continue;
    const uint32_t address = watchpoint.address + offset;
    if (!hit_ || address < hit_->address) hit_ = WatchHit{watchpoint.kind, write, address, dma};
  }
}

void Watchpoints::dma_written(uint32_t physical, uint32_t length, DmaSource source) {
  for (const Watchpoint& watchpoint : set_) {
    // The first watched byte of the run, if any: the watchpoint's bytes lie within 8 of its first.
    const uint32_t first = translate_address(watchpoint.address);
    const uint32_t from = std::max(first, physical);
    if (from - physical < length && from - first < watchpoint.length) note(from, true, source);
  }
}

void Watchpoints::mark_pages() {
  watched_pages_.fill(0);
  for (const Watchpoint& watchpoint : set_) {
    for (uint32_t k = 0; k < watchpoint.length; ++k) {
      const int page = code_page_index(translate_address(watchpoint.address + k));
      if (page >= 0) watched_pages_[page] = 1;
    }
  }
}
