#include "memory/memory_map.h"

#include <cstring>

#include "memory/faults.h"
#include "memory/rom_image.h"

uint8_t code_page_written[kCodePages];
bool code_page_marks_wanted = false;
uint8_t code_page_copied[kCodePages];
uint32_t rdram_pages_copied = 0;

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

class NoFaultSink final : public MemoryFaultSink {
 public:
  void unhandled_read(uint64_t) override {}
  void unhandled_write(uint32_t) override {}
};

NoFaultSink no_fault_sink;
MemoryFaultSink* installed_sink = &no_fault_sink;
CodeWriteWatcher* code_watcher = nullptr;
DataWatch* data_watch = nullptr;

void store(const MemoryRegion& region, uint32_t physical, uint8_t value) {
  region.storage[physical - region.first] = value;
  int page = code_page_index(physical);
  if (page < 0) return;
  code_page_written[page] = 1;
  if (code_page_copied[page]) report_code_write(physical);
}

}  // namespace

MemoryFaultSink& memory_fault_sink() {
  return *installed_sink;
}

void set_memory_fault_sink(MemoryFaultSink* sink) {
  installed_sink = sink ? sink : &no_fault_sink;
}

uint8_t* code_page_storage(int index) {
  return memory.rdram + (static_cast<uint32_t>(index) << 12);
}

uint32_t code_page_physical(int index) {
  return index < 1024 ? static_cast<uint32_t>(index) << 12 : 0x04000000u + ((index - 1024u) << 12);
}

void clear_code_page_copied() {
  std::memset(code_page_copied, 0, sizeof code_page_copied);
  rdram_pages_copied = 0;
}

void set_data_watch(DataWatch* watch) {
  data_watch = watch;
}

void set_code_write_watcher(CodeWriteWatcher* watcher) {
  code_watcher = watcher;
}

bool report_code_write(uint32_t physical) {
  return code_watcher && code_watcher->code_written(physical);
}

const MemoryRegion* find_storage_region(uint32_t physical) {
  for (const MemoryRegion& region : regions) {
    if (physical >= region.first && physical <= region.last) return &region;
  }
  return nullptr;
}

uint8_t mem_read_byte(uint64_t address) {
  if ((address >> 32) == 0) {
    uint32_t physical = translate_address(static_cast<uint32_t>(address));
    if (data_watch) [[unlikely]]
      data_watch->data_read(physical);
    if (const MemoryRegion* region = find_storage_region(physical)) {
      return region->storage[physical - region->first];
    }
    if (in_cartridge(physical)) return cartridge_read_byte();
  }
  installed_sink->unhandled_read(address);
  return 0;
}

void mem_write_byte(uint32_t address, uint8_t value) {
  uint32_t physical = translate_address(address);
  if (data_watch) [[unlikely]]
    data_watch->data_written(physical);
  if (const MemoryRegion* region = find_storage_region(physical)) {
    store(*region, physical, value);
    return;
  }
  installed_sink->unhandled_write(physical);
}

std::optional<uint8_t> peek_byte(uint32_t address) {
  uint32_t physical = translate_address(address);
  if (const MemoryRegion* region = find_storage_region(physical)) {
    return region->storage[physical - region->first];
  }
  if (in_cartridge(physical)) return cartridge_peek_byte(physical - kCartridgeFirst);
  return std::nullopt;
}

bool poke_byte(uint32_t address, uint8_t value) {
  uint32_t physical = translate_address(address);
  const MemoryRegion* region = find_storage_region(physical);
  if (!region) return false;
  store(*region, physical, value);
  return true;
}
