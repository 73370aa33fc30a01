#pragma once

#include <algorithm>
#include <cstdint>

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

// Stores `length` bytes, each `next_byte()` in turn, into RDRAM from bus address `address` on.
// The bytes go a code page at a time (RDRAM's installed size and the bus's wrap are whole pages),
// so that the marks are made once a page.
template <class NextByte>
void dma_fill_rdram(uint32_t address, uint32_t length, DmaSource source, NextByte next_byte) {
  const uint32_t installed = bus.rdram_bytes;
  DmaRuns runs(source);
  for (uint32_t i = 0; i < length;) {
    const uint32_t physical = (address + i) & kRdramBusMask;
    const uint32_t chunk = std::min(length - i, kCodePageBytes - (physical % kCodePageBytes));
    i += chunk;
    if (physical >= installed) {
      for (uint32_t k = 0; k < chunk; ++k) next_byte();
      continue;
    }
    uint8_t* to = memory.rdram + physical;
    for (uint32_t k = 0; k < chunk; ++k) to[k] = next_byte();
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

// Stores `length` bytes, each `next_byte()` in turn, into an SP memory from `address` on.
template <class NextByte>
void dma_fill_sp_memory(uint32_t address, uint32_t length, NextByte next_byte) {
  DmaRuns runs(DmaSource::sp);
  for (uint32_t i = 0; i < length;) {
    // Up to where the offset wraps: the end of the memory, which is one code page.
    const uint32_t physical = sp_memory_physical(address, i);
    const uint32_t chunk = std::min(length - i, kSpMemoryBytes - (physical % kSpMemoryBytes));
    i += chunk;
    uint8_t* to = &sp_memory_byte(physical);
    for (uint32_t k = 0; k < chunk; ++k) to[k] = next_byte();
    mark_stored(physical, chunk);
    runs.stored(physical, chunk);
  }
}
