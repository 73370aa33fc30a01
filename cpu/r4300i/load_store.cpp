#include "cpu/r4300i/load_store.h"

#include "memory/memory_map.h"

namespace r4300i {

uint64_t read_bytes(uint32_t physical, uint64_t address, unsigned count) {
  // A read error names the address's low half, as the program asked for it.
  const auto asked = static_cast<uint32_t>(address);
  // Aligned words and doublewords go a word at a time.
  if ((count == 4 || count == 8) && (physical & 3) == 0) {
    uint64_t value = 0;
    for (unsigned k = 0; k < count; k += 4)
      value = value << 32 | read_physical_word(physical + k, uint32_t{asked + k});
    return value;
  }
  uint64_t value = 0;
  for (unsigned k = 0; k < count; ++k) {
    value = value << 8 | read_physical_byte(physical + k, uint32_t{asked + k});
  }
  return value;
}

void write_bytes(uint32_t physical, unsigned count, uint64_t value) {
  for (unsigned k = 0; k < count; ++k) {
    write_physical_byte(physical + k, static_cast<uint8_t>(value >> 8 * (count - 1 - k)));
  }
}

}  // namespace r4300i
