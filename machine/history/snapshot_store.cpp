#include "machine/history/snapshot_store.h"

#include <algorithm>
#include <cstring>
#include <iterator>

uint64_t SnapshotStore::smallest_budget(uint32_t rdram_bytes) {
  return sizeof(Snapshot) + code_pages_with(rdram_bytes) * (sizeof(Page) + sizeof(PageCopy));
}

void SnapshotStore::begin(uint64_t budget, uint64_t position) {
  clear();
  budget_ = budget;
  const uint64_t serial = next_serial_++;
  snapshots_.push_back({serial, position, MachineFrame::capture()});
  for_each_code_page([&](int i) {
    copies_[i].push_back({serial, new_page()});
    std::memcpy(copies_[i].back().page->bytes, code_page_storage(i), kPageBytes);
    resident_[i] = serial;
    code_pages.written[i] = 0;
  });
}

void SnapshotStore::clear() {
  snapshots_.clear();
  for (std::vector<PageCopy>& copies : copies_) std::vector<PageCopy>().swap(copies);
  std::vector<std::unique_ptr<Page>>().swap(spare_);
  resident_.fill(0);
  live_pages_ = 0;
}

uint64_t SnapshotStore::bytes_used() const {
  uint64_t bytes = snapshots_.size() * sizeof(Snapshot) +
                   (live_pages_ + spare_.size()) * sizeof(Page) +
                   spare_.capacity() * sizeof(spare_[0]);
  for (const std::vector<PageCopy>& copies : copies_) bytes += copies.capacity() * sizeof(PageCopy);
  return bytes;
}

uint64_t SnapshotStore::bytes_to_take(bool in_place) const {
  const uint64_t newest = snapshots_.back().serial;
  uint64_t new_copies = 0;
  uint64_t bookkeeping = in_place ? 0 : sizeof(Snapshot);
  for (int i = 0; i < kCodePages; ++i) {
    const std::vector<PageCopy>& copies = copies_[i];
    if (!code_pages.written[i] || (in_place && copies.back().serial == newest)) continue;
    ++new_copies;
    // A full vector doubles.
    if (copies.size() == copies.capacity()) bookkeeping += copies.capacity() * sizeof(PageCopy);
  }
  const uint64_t new_pages = new_copies > spare_.size() ? new_copies - spare_.size() : 0;
  return new_pages * sizeof(Page) + bookkeeping;
}

void SnapshotStore::take(uint64_t position) {
  bool in_place = position == snapshots_.back().position;
  while (snapshots_.size() > 1 && bytes_used() + bytes_to_take(in_place) > budget_) drop_oldest();
  // With room for one snapshot only, the history keeps the newest state alone.
  if (bytes_used() + bytes_to_take(in_place) > budget_) in_place = true;
  if (!in_place) snapshots_.push_back({next_serial_++, position, {}});
  Snapshot& newest = snapshots_.back();
  newest.position = position;
  newest.frame = MachineFrame::capture();
  for (int i = 0; i < kCodePages; ++i) {
    if (!code_pages.written[i]) continue;
    std::vector<PageCopy>& copies = copies_[i];
    if (copies.back().serial != newest.serial) copies.push_back({newest.serial, new_page()});
    std::memcpy(copies.back().page->bytes, code_page_storage(i), kPageBytes);
    resident_[i] = newest.serial;
    code_pages.written[i] = 0;
  }
}

void SnapshotStore::drop_oldest() {
  const uint64_t oldest = snapshots_[0].serial;
  const uint64_t next = snapshots_[1].serial;
  for_each_code_page([&](int i) {
    std::vector<PageCopy>& copies = copies_[i];
    if (copies.size() > 1 && copies[1].serial == next) {
      recycle(std::move(copies[0].page));
      copies.erase(copies.begin());
    } else {
      // The next snapshot becomes the one that holds every page.
      copies[0].serial = next;
      if (resident_[i] == oldest) resident_[i] = next;
    }
  });
  snapshots_.pop_front();
}

void SnapshotStore::drop_after(uint64_t position) {
  while (snapshots_.size() > 1 && snapshots_.back().position > position) {
    const uint64_t serial = snapshots_.back().serial;
    for_each_code_page([&](int i) {
      std::vector<PageCopy>& copies = copies_[i];
      if (copies.back().serial == serial) {
        recycle(std::move(copies.back().page));
        copies.pop_back();
      }
    });
    snapshots_.pop_back();
  }
}

uint64_t SnapshotStore::restore(uint64_t position) {
  auto after = std::upper_bound(snapshots_.begin(), snapshots_.end(), position,
                                [](uint64_t p, const Snapshot& s) { return p < s.position; });
  const Snapshot& chosen = after == snapshots_.begin() ? *after : *std::prev(after);
  for_each_code_page([&](int i) {
    const std::vector<PageCopy>& copies = copies_[i];
    const PageCopy& copy =
        *std::prev(std::upper_bound(copies.begin(), copies.end(), chosen.serial,
                                    [](uint64_t s, const PageCopy& c) { return s < c.serial; }));
    // Pages that already hold the copy are left alone: most of memory, most of the time.
    if (code_pages.written[i] || resident_[i] != copy.serial) {
      std::memcpy(code_page_storage(i), copy.page->bytes, kPageBytes);
      resident_[i] = copy.serial;
      code_pages.written[i] = 0;
    }
  });
  chosen.frame.put();
  return chosen.position;
}

std::unique_ptr<SnapshotStore::Page> SnapshotStore::new_page() {
  ++live_pages_;
  if (spare_.empty()) return std::make_unique_for_overwrite<Page>();
  std::unique_ptr<Page> page = std::move(spare_.back());
  spare_.pop_back();
  return page;
}

void SnapshotStore::recycle(std::unique_ptr<Page> page) {
  --live_pages_;
  // Enough spares for one snapshot of every page; more would only hold memory back.
  if (spare_.size() < static_cast<std::size_t>(code_pages_with(bus.rdram_bytes)))
    spare_.push_back(std::move(page));
}
