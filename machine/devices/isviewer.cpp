#include "machine/devices/isviewer.h"

#include <algorithm>

#include "machine/devices/register_bits.h"
#include "memory/hooks.h"

void IsViewer::write(uint32_t offset, uint32_t value, uint32_t mask) {
  if (!poke(offset, value, mask) || offset != kLengthOffset || !completes(mask)) return;
  TextOutput* output = memory_hooks.console_output;
  if (!output) return;
  const uint32_t length = std::min(peek(kLengthOffset), kBufferBytes);
  output->write_text(reinterpret_cast<const char*>(&bytes[kBufferOffset]), length);
}

uint32_t IsViewer::peek(uint32_t offset) const {
  return offset < kBytes ? bytes_word(&bytes[offset]) : 0;
}

bool IsViewer::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset >= kBytes) return false;
  write_bytes_word(&bytes[offset], value, mask);
  return true;
}
