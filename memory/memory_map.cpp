#include "memory/memory_map.h"

#include "cpu/cpu_state.h"
#include "cpu/shared_state.h"
#include "memory/rom.h"
#include "platform/host.h"

MemoryStorage memory{};

namespace {

// In the order an address is looked up. The SP PC block has no storage of its own: it is the first
// eight bytes of the SP registers.
const MemoryRegion regions[] = {
    {0x00000000, 0x003FFFFF, memory.rdram},    {0x03F00000, 0x03F00027, memory.rdram_regs},
    {0x04000000, 0x04000FFF, memory.sp_dmem},  {0x04001000, 0x04001FFF, memory.sp_imem},
    {0x04040000, 0x0404001F, memory.sp_regs},  {0x04080000, 0x04080007, memory.sp_regs},
    {0x04100000, 0x0410001F, memory.dpc_regs}, {0x04200000, 0x0420000F, memory.dps_regs},
    {0x04300000, 0x04300037, memory.mi_regs},  {0x04400000, 0x04400037, memory.vi_regs},
    {0x04500000, 0x04500017, memory.ai_regs},  {0x04600000, 0x04600033, memory.pi_regs},
    {0x04700000, 0x0470001F, memory.ri_regs},  {0x04800000, 0x0480001B, memory.si_regs},
};

bool in_cartridge(uint32_t physical) {
  return physical >= kCartridgeFirst && physical <= kCartridgeLast;
}

uint8_t unhandled_read(uint64_t address) {
  message_text.format("Unhandled memory address: %x\nStopped on opcode number: %d\nPC: %x\nOpcode:",
                      static_cast<uint32_t>(address), low_signed(cpu.cp0[kCountRegister]), cpu.pc);
  message_text.append(opcode_name.c_str());
  host().message_box("Memory Error: Read", message_text.c_str());
  shared.running = 0;
  return 0;
}

}  // namespace

const MemoryRegion* find_storage_region(uint32_t physical) {
  for (const MemoryRegion& region : regions) {
    if (physical >= region.first && physical <= region.last) return &region;
  }
  return nullptr;
}

uint8_t mem_read_byte(uint64_t address) {
  if (address >> 32) return unhandled_read(address);
  uint32_t physical = translate_address(static_cast<uint32_t>(address));
  if (const MemoryRegion* region = find_storage_region(physical)) {
    return region->storage[physical - region->first];
  }
  if (in_cartridge(physical)) return cartridge_read_byte();
  return unhandled_read(address);
}

void mem_write_byte(uint32_t address, uint8_t value) {
  uint32_t physical = translate_address(address);
  if (const MemoryRegion* region = find_storage_region(physical)) {
    region->storage[physical - region->first] = value;
    return;
  }
  message_text.format("Unhandled memory address: %x", physical);
  host().message_box("Memory Error: Write", message_text.c_str());
}
