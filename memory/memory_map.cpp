#include "memory/memory_map.h"

#include <algorithm>
#include <cstring>

#include "memory/device.h"
#include "memory/faults.h"
#include "memory/rom_image.h"

namespace {

// The memories, in the order an address is looked up; the hardware registers are the devices'.
const MemoryRegion standard_rdram{kRdramFirst, kRdramFirst + kRdramStandardBytes - 1, memory.rdram};
const MemoryRegion expansion_rdram{kRdramFirst, kRdramFirst + kRdramExpansionBytes - 1,
                                   memory.rdram};
const MemoryRegion sp_memories[] = {
    {kSpDmemFirst, kSpDmemFirst + kSpMemoryBytes - 1, memory.sp_dmem},
    {kSpImemFirst, kSpImemFirst + kSpMemoryBytes - 1, memory.sp_imem},
};

// Where a byte of a device's register lies in it: registers are big-endian words.
struct RegisterByte {
  uint32_t offset;  // the register's, in the device
  unsigned shift;   // of the byte in the register's value
};

RegisterByte register_byte(const DeviceRange& range, uint32_t physical) {
  const uint32_t at = range.base + (physical - range.first);
  return {at & ~3u, 8 * (3 - (at & 3))};
}

uint8_t device_read_byte(const DeviceRange& range, uint32_t physical) {
  const RegisterByte byte = register_byte(range, physical);
  return static_cast<uint8_t>(range.device->read(byte.offset, 0xFFu << byte.shift) >> byte.shift);
}

void device_write_byte(const DeviceRange& range, uint32_t physical, uint8_t value) {
  const RegisterByte byte = register_byte(range, physical);
  range.device->write(byte.offset, uint32_t{value} << byte.shift, 0xFFu << byte.shift);
}

bool in_cartridge(uint32_t physical) {
  return physical >= kCartridgeFirst && physical <= kCartridgeLast;
}

void store(const MemoryRegion& region, uint32_t physical, uint8_t value) {
  region.storage[physical - region.first] = value;
  mark_stored(physical);
}

}  // namespace

uint8_t* code_page_storage(int index) {
  if (index < kRdramPages) return memory.rdram + (static_cast<uint32_t>(index) << 12);
  return index == kRdramPages ? memory.sp_dmem : memory.sp_imem;
}

uint32_t code_page_physical(int index) {
  return index < kRdramPages ? static_cast<uint32_t>(index) << 12
                             : kSpDmemFirst + ((index - uint32_t{kRdramPages}) << 12);
}

void clear_code_page_copied() {
  std::memset(code_pages.copied, 0, sizeof code_pages.copied);
  code_pages.rdram_pages_copied = 0;
}

void mark_stored(uint32_t physical, uint32_t bytes) {
  int page = code_page_index(physical);
  if (page < 0) return;
  code_pages.written[page] = 1;
  if (!code_pages.copied[page]) return;
  for (uint32_t k = 0; k < bytes; ++k) report_code_write(physical + k);
}

bool report_code_write(uint32_t physical) {
  return memory_hooks.code_writes && memory_hooks.code_writes->code_written(physical);
}

const MemoryRegion* find_storage_region(uint32_t physical) {
  if (physical - kRdramFirst < bus.rdram_bytes)
    return bus.rdram_bytes == kRdramExpansionBytes ? &expansion_rdram : &standard_rdram;
  for (const MemoryRegion& region : sp_memories) {
    if (physical >= region.first && physical <= region.last) return &region;
  }
  return nullptr;
}

uint8_t mem_read_byte(uint64_t address) {
  if ((address >> 32) == 0) {
    return read_physical_byte(translate_address(static_cast<uint32_t>(address)), address);
  }
  if (bus.console) return 0;
  memory_hooks.memory_faults->unhandled_read(address);
  return 0;
}

void mem_write_byte(uint32_t address, uint8_t value) {
  write_physical_byte(translate_address(address), value);
}

uint8_t read_physical_byte(uint32_t physical, uint64_t address) {
  if (DataWatch* watch = memory_hooks.data_watch) [[unlikely]]
    watch->data_read(physical);
  if (const MemoryRegion* region = find_storage_region(physical)) {
    return region->storage[physical - region->first];
  }
  if (const DeviceRange* range = device_map.find(physical))
    return device_read_byte(*range, physical);
  if (in_cartridge(physical)) {
    return bus.console ? cartridge_byte(physical - kCartridgeFirst) : cartridge_read_byte();
  }
  if (bus.console) return 0;
  memory_hooks.memory_faults->unhandled_read(address);
  return 0;
}

uint64_t reads_steady_until(uint32_t physical, uint32_t bytes) {
  const uint32_t last = physical + bytes - 1;
  if (last < bus.rdram_bytes) return Device::kSteadyForGood;
  const DeviceRange* range = device_map.find(physical);
  if (range == nullptr || last > range->last) return 0;
  return std::min(range->device->read_steady_until(register_byte(*range, physical).offset),
                  range->device->read_steady_until(register_byte(*range, last).offset));
}

uint32_t read_physical_word(uint32_t physical, uint64_t address) {
  if (physical >= bus.rdram_bytes) {
    if (const DeviceRange* range = device_map.find(physical);
        range && physical + 3 <= range->last) {
      if (DataWatch* watch = memory_hooks.data_watch) [[unlikely]] {
        for (uint32_t k = 0; k < 4; ++k) watch->data_read(physical + k);
      }
      return range->device->read(register_byte(*range, physical).offset, 0xFFFFFFFF);
    }
  }
  uint32_t value = 0;
  for (uint32_t k = 0; k < 4; ++k)
    value = value << 8 | read_physical_byte(physical + k, address + k);
  return value;
}

void write_physical_byte(uint32_t physical, uint8_t value) {
  if (DataWatch* watch = memory_hooks.data_watch) [[unlikely]]
    watch->data_written(physical);
  if (const MemoryRegion* region = find_storage_region(physical)) {
    store(*region, physical, value);
    return;
  }
  if (const DeviceRange* range = device_map.find(physical)) {
    device_write_byte(*range, physical, value);
    return;
  }
  if (!bus.console) memory_hooks.memory_faults->unhandled_write(physical);
}

std::optional<uint8_t> peek_byte(uint32_t address) {
  return peek_physical_byte(translate_address(address));
}

bool poke_byte(uint32_t address, uint8_t value) {
  return poke_physical_byte(translate_address(address), value);
}

std::optional<uint8_t> peek_physical_byte(uint32_t physical) {
  if (const MemoryRegion* region = find_storage_region(physical)) {
    return region->storage[physical - region->first];
  }
  if (const DeviceRange* range = device_map.find(physical)) {
    const RegisterByte byte = register_byte(*range, physical);
    return static_cast<uint8_t>(range->device->peek(byte.offset) >> byte.shift);
  }
  if (in_cartridge(physical)) return cartridge_peek_byte(physical - kCartridgeFirst);
  return std::nullopt;
}

bool poke_physical_byte(uint32_t physical, uint8_t value) {
  if (const MemoryRegion* region = find_storage_region(physical)) {
    store(*region, physical, value);
    return true;
  }
  if (const DeviceRange* range = device_map.find(physical)) {
    const RegisterByte byte = register_byte(*range, physical);
    return range->device->poke(byte.offset, uint32_t{value} << byte.shift, 0xFFu << byte.shift);
  }
  return false;
}
