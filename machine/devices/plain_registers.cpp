#include "machine/devices/plain_registers.h"

#include "machine/devices/register_bits.h"

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
  return bytes_word(&bytes[offset]);
}

bool PlainRegisters::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  write_bytes_word(&bytes[offset], value, mask);
  return true;
}
