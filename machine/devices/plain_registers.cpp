#include "machine/devices/plain_registers.h"

namespace {

uint32_t base_of(uint32_t first) {
  uint32_t base = 0;
  for (const PlainRegisters::Block& block : PlainRegisters::kBlocks) {
    if (block.first == first) break;
    base += block.bytes;
  }
  return base;
}

}  // namespace

void PlainRegisters::map_into(DeviceMap& map) {
  for (const Block& block : kBlocks) {
    map.add({block.first, block.first + block.bytes - 1, this, base_of(block.first)});
  }
  const uint32_t sp = kBlocks[1].first;
  map.add({kSpPcFirst, kSpPcFirst + kSpPcBytes - 1, this, base_of(sp)});
}

std::span<uint8_t> PlainRegisters::block(uint32_t first) {
  for (const Block& block : kBlocks) {
    if (block.first == first) return std::span(bytes).subspan(base_of(first), block.bytes);
  }
  return {};
}

uint32_t PlainRegisters::peek(uint32_t offset) const {
  return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 |
         uint32_t{bytes[offset + 2]} << 8 | bytes[offset + 3];
}

bool PlainRegisters::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  for (unsigned k = 0; k < 4; ++k) {
    const unsigned shift = 8 * (3 - k);
    if ((mask >> shift) & 0xFF) bytes[offset + k] = static_cast<uint8_t>(value >> shift);
  }
  return true;
}
