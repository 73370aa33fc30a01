#include "machine/devices/display_processor.h"

#include "machine/devices/register_bits.h"

namespace {

constexpr uint32_t kAddressBits = 0xFFFFF8;

}  // namespace

void DisplayProcessor::map_into(DeviceMap& map) {
  map.add({kCommandFirst, kCommandFirst + kCommandBytes - 1, this, 0});
  map.add({kSpanFirst, kSpanFirst + kSpanBytes - 1, this, kSpanOffset});
}

void DisplayProcessor::write(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kStart:
      start = merge_bytes(start, value, mask) & kAddressBits;
      if (completes(mask)) status |= kStartValid;
      break;
    case kEnd:
      end = merge_bytes(end, value, mask) & kAddressBits;
      if (!completes(mask)) break;
      // A new list begins at DPC_START; either way the RDP takes it to its end at once.
      status &= ~kStartValid;
      current = end;
      break;
    case kStatus: {
      const uint32_t written = value & mask;
      status = set_or_clear(status, written, 1u << 0, 1u << 1, kXbus);
      status = set_or_clear(status, written, 1u << 2, 1u << 3, kFreeze);
      status = set_or_clear(status, written, 1u << 4, 1u << 5, kFlush);
      break;  // the rest clear the counters, which are 0
    }
    default:
      poke(offset, value, mask);
      break;
  }
}

uint32_t DisplayProcessor::peek(uint32_t offset) const {
  switch (offset) {
    case kStart:
      return start;
    case kEnd:
      return end;
    case kCurrent:
      return current;
    case kStatus:
      return status | kCommandBufferReady;
    default:
      return offset >= kSpanOffset ? span[(offset - kSpanOffset) / 4] : 0;
  }
}

bool DisplayProcessor::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset < kSpanOffset) return false;
  uint32_t& word = span[(offset - kSpanOffset) / 4];
  word = merge_bytes(word, value, mask);
  return true;
}
