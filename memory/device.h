#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

// A block of hardware registers, which the memory map hands every access in its address range to:
// each device is one file with its registers and what reading and writing them does. Registers are
// 32 bits wide, big-endian like the rest of the machine, at offsets that are multiples of 4.
class Device {
 public:
  virtual ~Device() = default;

  // The processor's read of the bytes of the register at `offset` that `mask` selects (the value
  // holds the whole register), with whatever side effects reading it has.
  virtual uint32_t read(uint32_t offset, uint32_t mask) = 0;
  // The processor's write of the bits of `value` that `mask` selects (a byte, a halfword or the
  // whole register, as the access was), with its side effects.
  virtual void write(uint32_t offset, uint32_t value, uint32_t mask) = 0;
  // A debugger's view of the register, with no side effects at all.
  virtual uint32_t peek(uint32_t offset) const = 0;
  // A debugger's write: as the register holds it, with no side effects. False where a debugger
  // cannot write.
  virtual bool poke(uint32_t offset, uint32_t value, uint32_t mask) = 0;
  // Until when (on the machine's clock) the processor's read of the register has no side effects
  // and gives the value it gives now, the next write to the machine and its next event aside: a
  // loop that only reads it waits until then. kSteadyForGood for a register only those change; 0
  // for one whose read has effects, or that the device does not say of.
  static constexpr uint64_t kSteadyForGood = UINT64_MAX;
  virtual uint64_t read_steady_until(uint32_t offset) const {
    (void)offset;
    return 0;
  }
};

// One device's range of physical addresses (bounds inclusive); its registers there start at
// `base` in the device (two ranges may show the same registers).
struct DeviceRange {
  uint32_t first;
  uint32_t last;
  Device* device;
  uint32_t base;
};

// The machine's hardware register blocks by address, which the machine fills with the devices it
// has. The memory map looks an address up here after its memories, on every access to a register:
// the ranges are kept in address order, and each megabyte below 0x20000000 (where every block
// lies) knows the few that reach into it.
struct DeviceMap {
  static constexpr std::size_t kMostRanges = 16;
  static constexpr uint32_t kMegabytes = 0x200;
  std::array<DeviceRange, kMostRanges> ranges{};
  std::size_t count = 0;
  // The ranges from `bucket_first[m]` to `bucket_end[m]` reach into megabyte `m`.
  std::array<uint8_t, kMegabytes> bucket_first{};
  std::array<uint8_t, kMegabytes> bucket_end{};

  void add(const DeviceRange& range) {
    assert(count < kMostRanges && range.first <= range.last && range.last >> 20 < kMegabytes);
    std::size_t at = count++;
    for (; at > 0 && ranges[at - 1].first > range.first; --at) ranges[at] = ranges[at - 1];
    ranges[at] = range;
    for (uint32_t m = 0; m < kMegabytes; ++m) {
      std::size_t first = 0;
      while (first < count && ranges[first].last >> 20 < m) ++first;
      std::size_t end = first;
      while (end < count && ranges[end].first >> 20 <= m) ++end;
      bucket_first[m] = static_cast<uint8_t>(first);
      bucket_end[m] = static_cast<uint8_t>(end);
    }
  }
  const DeviceRange* find(uint32_t physical) const {
    const uint32_t m = physical >> 20;
    if (m >= kMegabytes) return nullptr;
    for (std::size_t i = bucket_first[m]; i < bucket_end[m]; ++i) {
      if (physical >= ranges[i].first && physical <= ranges[i].last) return &ranges[i];
    }
    return nullptr;
  }
};

// The machine object owns it: machine/object/machine.h.
extern DeviceMap& device_map;
