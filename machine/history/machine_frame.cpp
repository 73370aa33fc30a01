#include "machine/history/machine_frame.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "machine/machine_state.h"
#include "memory/rom_image.h"

namespace {

struct Block {
  std::size_t offset;
  std::size_t size;
};

#define KORVEL_BLOCK(name)                                    \
  Block {                                                     \
    offsetof(MemoryStorage, name), sizeof MemoryStorage::name \
  }
constexpr Block kBlocks[] = {
    KORVEL_BLOCK(rdram_regs), KORVEL_BLOCK(sp_regs), KORVEL_BLOCK(dpc_regs), KORVEL_BLOCK(dps_regs),
    KORVEL_BLOCK(mi_regs),    KORVEL_BLOCK(vi_regs), KORVEL_BLOCK(ai_regs),  KORVEL_BLOCK(pi_regs),
    KORVEL_BLOCK(ri_regs),    KORVEL_BLOCK(si_regs),
};
#undef KORVEL_BLOCK

// A block added to the storage must be listed above as well.
constexpr std::size_t listed_bytes() {
  std::size_t bytes = 0;
  for (Block block : kBlocks) bytes += block.size;
  return bytes;
}
static_assert(listed_bytes() == kRegisterBlockBytes);

uint8_t* in_memory(Block block) {
  return reinterpret_cast<uint8_t*>(&memory) + block.offset;
}

}  // namespace

MachineFrame MachineFrame::capture() {
  MachineFrame frame;
  frame.cpu = ::cpu;
  uint8_t* to = frame.register_blocks;
  for (Block block : kBlocks) {
    std::memcpy(to, in_memory(block), block.size);
    to += block.size;
  }
  frame.cartridge_position = rom.rom_file ? std::ftell(rom.rom_file) : -1;
  frame.stop_on_unhandled = shared.stop_on_unhandled.load(std::memory_order_relaxed);
  return frame;
}

void MachineFrame::put() const {
  ::cpu = cpu;
  const uint8_t* from = register_blocks;
  for (Block block : kBlocks) {
    std::memcpy(in_memory(block), from, block.size);
    from += block.size;
  }
  if (rom.rom_file && cartridge_position >= 0)
    std::fseek(rom.rom_file, cartridge_position, SEEK_SET);
  shared.stop_on_unhandled.store(stop_on_unhandled, std::memory_order_relaxed);
}
