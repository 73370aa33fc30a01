#pragma once

#include <array>
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
// has. The memory map looks an address up here after its memories.
struct DeviceMap {
  static constexpr std::size_t kMostRanges = 16;
  std::array<DeviceRange, kMostRanges> ranges{};
  std::size_t count = 0;

  void add(const DeviceRange& range) { ranges[count++] = range; }
  const DeviceRange* find(uint32_t physical) const {
    for (std::size_t i = 0; i < count; ++i) {
      if (physical >= ranges[i].first && physical <= ranges[i].last) return &ranges[i];
    }
    return nullptr;
  }
};

// The machine object owns it: machine/object/machine.h.
extern DeviceMap& device_map;
