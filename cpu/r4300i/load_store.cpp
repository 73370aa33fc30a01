#include "cpu/r4300i/load_store.h"

#include "memory/memory_map.h"

namespace r4300i {

uint64_t read_bytes(uint64_t address, unsigned count) {
  const uint32_t first = static_cast<uint32_t>(address);
  uint64_t value = 0;
  for (unsigned k = 0; k < count; ++k) value = value << 8 | mem_read_byte(uint32_t{first + k});
  return value;
}

void write_bytes(uint64_t address, unsigned count, uint64_t value) {
  const uint32_t first = static_cast<uint32_t>(address);
  for (unsigned k = 0; k < count; ++k) {
    mem_write_byte(first + k, static_cast<uint8_t>(value >> 8 * (count - 1 - k)));
  }
}

uint32_t physical_address(uint64_t address) {
  return translate_address(static_cast<uint32_t>(address));
}

}  // namespace r4300i
