#include "machine/engines/instruction_fetch.h"

uint32_t FetchWindow::read_word_slowly(uint32_t address) {
  uint32_t physical = translate_address(address);
  const MemoryRegion* region = find_storage_region(physical);
  if (region && region->last - physical >= 3) {
    base_ = region->storage;
    first_ = address - (physical - region->first);
    word_starts_ = region->last - region->first - 2;
    return read_word(address);
  }
  uint32_t word = 0;
  for (uint32_t k = 0; k < 4; ++k) word = word << 8 | mem_read_byte(uint32_t{address + k});
  return word;
}

uint32_t FetchWindow::read_translated_word(uint32_t physical, uint32_t address) {
  if (const MemoryRegion* region = find_storage_region(physical)) {
    uint32_t word;
    std::memcpy(&word, region->storage + (physical - region->first), sizeof word);
    return __builtin_bswap32(word);
  }
  uint32_t word = 0;
  for (uint32_t k = 0; k < 4; ++k) {
    word = word << 8 | read_physical_byte(physical + k, uint32_t{address + k});
  }
  return word;
}
