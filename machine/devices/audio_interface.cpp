#include "machine/devices/audio_interface.h"

#include "cpu/scheduler.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/register_bits.h"

namespace {

constexpr uint32_t kAddressBits = 0xFFFFF8;
constexpr uint32_t kLengthBits = 0x3FFF8;
constexpr uint32_t kDacRateBits = 0x3FFF;
constexpr uint32_t kBitRateBits = 0xF;
constexpr uint32_t kDmaEnable = 1u << 0;
constexpr uint32_t kBytesPerSample = 4;  // 16 bits, stereo

}  // namespace

uint64_t AudioInterface::play_cycles(uint32_t bytes) const {
  const uint64_t cycles = uint64_t{bytes / kBytesPerSample} * (dac_rate + 1) * kProcessorHz;
  const uint64_t clock = video_clock_hz(tv);
  return (cycles + clock - 1) / clock;
}

void AudioInterface::start_playing() {
  if (buffer_count == 0 || playing || !(control & kDmaEnable)) return;
  playing = true;
  playing_since = scheduler.now;
  playing_cycles = play_cycles(buffers[0].length);
  scheduler.schedule(Event::ai_buffer, playing_since + playing_cycles);
  mips_interface.raise(RcpInterrupt::ai);
}

void AudioInterface::buffer_ended() {
  if (!playing) return;
  playing = false;
  buffers[0] = buffers[1];
  --buffer_count;
  start_playing();
}

uint32_t AudioInterface::length_left() const {
  if (buffer_count == 0) return 0;
  const uint32_t whole = buffers[0].length;
  if (!playing || playing_cycles == 0) return whole;
  // The samples played so far, then what is left of the buffer, in the 8 bytes AI_LENGTH counts.
  const uint64_t elapsed = scheduler.now - playing_since;
  const uint64_t played = elapsed >= playing_cycles ? whole : elapsed * whole / playing_cycles;
  return static_cast<uint32_t>((whole - played + 7) & ~uint64_t{7});
}

void AudioInterface::write(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kLength:
      if (!write_completes(length, value, mask) || buffer_count == 2 ||
          (length & kLengthBits) == 0) {
        break;
      }
      buffers[buffer_count++] = {dram_addr, length & kLengthBits};
      start_playing();
      break;
    case kControl:
      control = merge_bytes(control, value, mask) & kDmaEnable;
      start_playing();
      break;
    case kStatus:
      mips_interface.lower(RcpInterrupt::ai);
      break;
    default:
      poke(offset, value, mask);
      break;
  }
}

uint32_t AudioInterface::peek(uint32_t offset) const {
  if (offset != kStatus) return length_left();
  return (buffer_count == 2 ? kFull : 0) | (buffer_count > 0 ? kBusy : 0) |
         (control & kDmaEnable ? kEnabled : 0);
}

bool AudioInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kDramAddr:
      dram_addr = merge_bytes(dram_addr, value, mask) & kAddressBits;
      return true;
    case kDacRate:
      dac_rate = merge_bytes(dac_rate, value, mask) & kDacRateBits;
      return true;
    case kBitRate:
      bit_rate = merge_bytes(bit_rate, value, mask) & kBitRateBits;
      return true;
    default:
      return false;
  }
}
