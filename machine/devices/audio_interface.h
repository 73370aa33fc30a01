#pragma once

#include <cstdint>

#include "machine/devices/clocks.h"
#include "memory/device.h"

// The Audio Interface (0x04500000): AI_DRAM_ADDR, AI_LENGTH, AI_CONTROL, AI_STATUS, AI_DACRATE and
// AI_BITRATE. Nothing is heard; what the AI holds is its two buffers and the time they take.
//
// Two buffers may be given (n64brew "Audio Interface"): one playing and one waiting, when the AI
// reads full. A buffer starts playing when it is given to an idle AI, or when the one before it
// ends, as long as DMA is enabled in AI_CONTROL (a playing buffer plays on to its end); the AI
// interrupt is raised as each starts. A buffer plays 16-bit stereo samples, four bytes each, at
// the video clock divided by AI_DACRATE + 1; AI_LENGTH reads what is left of it, computed from the
// clock. Its end is Event::ai_buffer. Every register but AI_STATUS reads as AI_LENGTH.
class AudioInterface final : public Device {
 public:
  static constexpr uint32_t kFirst = 0x04500000;
  static constexpr uint32_t kBytes = 0x18;

  enum Register : uint32_t {
    kDramAddr = 0x00,
    kLength = 0x04,
    kControl = 0x08,
    kStatus = 0x0C,
    kDacRate = 0x10,
    kBitRate = 0x14,
  };
  static constexpr uint32_t kFull = (1u << 31) | (1u << 0);
  static constexpr uint32_t kBusy = 1u << 30;
  static constexpr uint32_t kEnabled = 1u << 25;

  struct Buffer {
    uint32_t address;
    uint32_t length;
  };

  // Event::ai_buffer: the playing buffer has ended.
  void buffer_ended();
  // How many processor cycles a buffer of `length` bytes plays for at the current rate.
  uint64_t play_cycles(uint32_t length) const;

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;

  TvType tv = TvType::ntsc;
  uint32_t dram_addr = 0;
  uint32_t length = 0;  // as written, until the word is complete
  uint32_t control = 0;
  uint32_t dac_rate = 0;
  uint32_t bit_rate = 0;
  Buffer buffers[2] = {};  // the first playing or about to, the second waiting
  uint32_t buffer_count = 0;
  bool playing = false;
  uint64_t playing_since = 0;
  uint64_t playing_cycles = 0;

 private:
  void start_playing();
  uint32_t length_left() const;
};
