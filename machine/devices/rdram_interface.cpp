#include "machine/devices/rdram_interface.h"

#include "machine/devices/register_bits.h"

namespace {

// What each RI register holds; RI_CURRENT_LOAD and RI_BANK_STATUS are only written, RI_ERROR only
// read.
constexpr std::array<uint32_t, 8> kRiBits{0x0F, 0x7F, 0, 0xFF, 0x7FFFFF, 0x0F, 0, 0};

}  // namespace

void RdramInterface::map_into(DeviceMap& map) {
  map.add({kRdramRegistersFirst, kRdramRegistersLast, this, 0});
  map.add({kRiFirst, kRiFirst + kRiBytes - 1, this, kRiOffset});
}

uint32_t RdramInterface::peek(uint32_t offset) const {
  if (offset >= kRiOffset) return ri[(offset - kRiOffset) / 4];
  const uint32_t index = (offset % kModuleWindow) / 4;
  return index < kRdramRegisters ? rdram[index] : 0;
}

bool RdramInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset >= kRiOffset) {
    const uint32_t index = (offset - kRiOffset) / 4;
    ri[index] = merge_bytes(ri[index], value, mask) & kRiBits[index];
    return kRiBits[index] != 0;
  }
  const uint32_t index = (offset % kModuleWindow) / 4;
  if (index >= kRdramRegisters) return false;
  rdram[index] = merge_bytes(rdram[index], value, mask);
  return true;
}
