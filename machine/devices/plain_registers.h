#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "memory/device.h"

// The hardware register blocks as the 0.2c machine has them: plain storage, where a write stores
// its bytes and nothing else happens, and a read gives back what was stored. One device serves them
// all, their bytes one block after another.
class PlainRegisters final : public Device {
 public:
  struct Block {
    uint32_t first;  // physical address
    uint32_t bytes;
  };
  // In the order of their addresses. The SP PC block has no bytes of its own: it shows the first
  // eight bytes of the SP registers.
  static constexpr std::array<Block, 10> kBlocks{{{0x03F00000, 40},    // RDRAM's registers
                                                  {0x04040000, 32},    // SP
                                                  {0x04100000, 32},    // DP command
                                                  {0x04200000, 16},    // DP span
                                                  {0x04300000, 56},    // MI
                                                  {0x04400000, 56},    // VI
                                                  {0x04500000, 24},    // AI
                                                  {0x04600000, 52},    // PI
                                                  {0x04700000, 32},    // RI
                                                  {0x04800000, 28}}};  // SI
  static constexpr uint32_t kSpPcFirst = 0x04080000;
  static constexpr uint32_t kSpPcBytes = 8;
  static constexpr uint32_t kBytes = [] {
    uint32_t total = 0;
    for (const Block& block : kBlocks) total += block.bytes;
    return total;
  }();

  // Puts every block's range in `map`.
  void map_into(DeviceMap& map);

  // The bytes of the block that starts at the physical address `first`.
  std::span<uint8_t> block(uint32_t first);

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override { poke(offset, value, mask); }
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;

  std::array<uint8_t, kBytes> bytes{};
};

// The machine object owns it: machine/object/machine.h.
extern PlainRegisters& plain_registers;
