#pragma once

#include <array>
#include <cstdint>

#include "memory/device.h"

// The ISViewer, a development cartridge's text channel (0x13FF0000-0x13FF0FFF), as libdragon's
// debug.c uses it: its first 0x220 bytes are memory (a few registers, then a 512-byte buffer from
// 0x13FF0020), and writing a length N to 0x13FF0014 sends the buffer's first N bytes out as text,
// through the memory hooks' console output. The rest of the range reads 0 and takes no writes.
class IsViewer final : public Device {
 public:
  static constexpr uint32_t kFirst = 0x13FF0000;
  static constexpr uint32_t kLast = 0x13FF0FFF;
  static constexpr uint32_t kLengthOffset = 0x14;
  static constexpr uint32_t kBufferOffset = 0x20;
  static constexpr uint32_t kBufferBytes = 0x200;
  static constexpr uint32_t kBytes = kBufferOffset + kBufferBytes;

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;

  std::array<uint8_t, kBytes> bytes{};
};
