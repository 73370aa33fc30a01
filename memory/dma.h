#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "memory/hooks.h"
#include "memory/memory_map.h"
#include "memory/storage.h"

// Memory as the console's DMA engines (PI, SI, SP) reach it: the one way their bytes go into and
// out of RDRAM and the SP memories. Every byte stored is marked in its code page as the
// processor's stores are, and each run of bytes is told to the DMA watch.

// The RCP addresses RDRAM with 23 bits (8 MB); addresses wrap there. Bytes past the RDRAM that is
// installed read 0 and take no writes.
inline constexpr uint32_t kRdramBusMask = 0x7FFFFF;

// The bytes of one DMA, told to the DMA watch one contiguous run at a time as they are stored.
class DmaRuns {
 public:
  explicit DmaRuns(DmaSource source) : source_(source) {}
  ~DmaRuns() { tell(); }
  DmaRuns(const DmaRuns&) = delete;
  DmaRuns& operator=(const DmaRuns&) = delete;

  void stored(uint32_t physical, uint32_t length) {
    if (length_ != 0 && physical == first_ + length_) {
      length_ += length;
      return;
    }
    tell();
    first_ = physical;
    length_ = length;
  }

 private:
  void tell();

  DmaSource source_;
  uint32_t first_ = 0;
  uint32_t length_ = 0;
};

// The RDRAM byte at bus address `address`.
inline uint8_t dma_rdram_byte(uint32_t address) {
  const uint32_t physical = address & kRdramBusMask;
  return physical < bus.rdram_bytes ? memory.rdram[physical] : 0;
}

// A DMA's source as the fills below take it: `copy(to, count)` puts the next `count` bytes at `to`.
// This one takes them one at a time from `next_byte()`.
template <class NextByte>
auto each_byte(NextByte next_byte) {
  return [next_byte](uint8_t* to, uint32_t count) mutable {
    for (uint32_t k = 0; k < count; ++k) to[k] = next_byte();
  };
}

// Copies `count` bytes of RDRAM from bus address `address` on to `to`.
inline void dma_read_rdram(uint32_t address, uint8_t* to, uint32_t count) {
  for (uint32_t i = 0; i < count;) {
    const uint32_t physical = (address + i) & kRdramBusMask;
    const uint32_t chunk = std::min(count - i, kCodePageBytes - (physical % kCodePageBytes));
    if (physical < bus.rdram_bytes) {
      std::memcpy(to + i, memory.rdram + physical, chunk);
    } else {
      std::memset(to + i, 0, chunk);
    }
    i += chunk;
  }
}

// Stores `length` bytes from `copy` into RDRAM from bus address `address` on. The bytes go a
// code page at a time (RDRAM's installed size and the bus's wrap are whole pages), so that the
// marks are made once a page.
template <class Copy>
void dma_fill_rdram(uint32_t address, uint32_t length, DmaSource source, Copy copy) {
  const uint32_t installed = bus.rdram_bytes;
  DmaRuns runs(source);
  for (uint32_t i = 0; i < length;) {
    const uint32_t physical = (address + i) & kRdramBusMask;
    const uint32_t chunk = std::min(length - i, kCodePageBytes - (physical % kCodePageBytes));
    i += chunk;
    if (physical >= installed) {
      uint8_t dropped[kCodePageBytes];
      copy(dropped, chunk);
      continue;
    }
    copy(memory.rdram + physical, chunk);
    mark_stored(physical, chunk);
    runs.stored(physical, chunk);
  }
}

// The SP memories as the SP's DMA sees them: the byte `i` bytes after `address`, where bit 12 of
// `address` chooses IMEM over DMEM and the offset wraps within the chosen memory's 4 KB.
inline uint32_t sp_memory_physical(uint32_t address, uint32_t i) {
  return kSpDmemFirst + (address & kSpMemoryBytes) + ((address + i) & (kSpMemoryBytes - 1));
}

inline uint8_t& sp_memory_byte(uint32_t physical) {
  const uint32_t offset = physical - kSpDmemFirst;
  return offset < kSpMemoryBytes ? memory.sp_dmem[offset] : memory.sp_imem[offset - kSpMemoryBytes];
}

// Copies `count` bytes of an SP memory, from `i` bytes after `address` on (as above), to `to`.
inline void dma_read_sp_memory(uint32_t address, uint32_t i, uint8_t* to, uint32_t count) {
  for (uint32_t done = 0; done < count;) {
    const uint32_t physical = sp_memory_physical(address, i + done);
    const uint32_t chunk = std::min(count - done, kSpMemoryBytes - (physical % kSpMemoryBytes));
    std::memcpy(to + done, &sp_memory_byte(physical), chunk);
    done += chunk;
  }
}

// Stores `length` bytes from `copy` into an SP memory from `address` on.
template <class Copy>
void dma_fill_sp_memory(uint32_t address, uint32_t length, Copy copy) {
  DmaRuns runs(DmaSource::sp);
  for (uint32_t i = 0; i < length;) {
    // Up to where the offset wraps: the end of the memory, which is one code page.
    const uint32_t physical = sp_memory_physical(address, i);
    const uint32_t chunk = std::min(length - i, kSpMemoryBytes - (physical % kSpMemoryBytes));
    i += chunk;
    copy(&sp_memory_byte(physical), chunk);
    mark_stored(physical, chunk);
    runs.stored(physical, chunk);
  }
}
