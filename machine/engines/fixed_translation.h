#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "memory/memory_map.h"

// Where the fast engines find the word or the bytes at a virtual address themselves: under the 0.2c
// model through its fixed map; under the complete model only in KSEG0 and KSEG1, whose translation
// never changes. Anything else gives an address in no code page and takes the exact path, which
// translates it every time: the engines keep nothing of a mapped page (nor of KUSEG while ERL
// leaves it unmapped), so a change to the TLB or to Status makes nothing they hold stale.
inline constexpr uint32_t kNotFixed = UINT32_MAX;
static_assert(kNotFixed - kRdramFirst >= kRdramExpansionBytes &&
              kNotFixed - kSpDmemFirst >= 2 * kSpMemoryBytes);

inline uint32_t fixed_physical(uint32_t address) {
  if (cpu.model == CpuModel::r4300i && !r4300i::in_fixed_segment(address)) return kNotFixed;
  return translate_address(address);
}

// The same for a data access of the complete model, whose address is 64 bits wide: KSEG0 and KSEG1
// as sign-extended 32-bit addresses.
inline uint32_t fixed_data_physical(uint64_t address) {
  if (!r4300i::in_fixed_segment_64(address)) return kNotFixed;
  return static_cast<uint32_t>(address) & (kSegmentBytes - 1);
}
