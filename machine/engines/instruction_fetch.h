#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "machine/engines/engine.h"
#include "memory/memory_map.h"

// Reads instruction words as the processor fetches them: four byte reads at address + 0..3,
// big-endian. A word whose four bytes lie in one storage region is taken in one go from the region
// of the last fetch; anything else (the cartridge, unmapped bytes, a word across a region's end)
// goes through the memory map one byte at a time, so every cartridge byte and every read error is
// exactly as if each byte had been read singly.
class FetchWindow {
 public:
  // From an address the memory map translates (0.2c's, the complete model's KSEG0 and KSEG1).
  uint32_t read_word(uint32_t address) {
    // The window is kept in the addresses the program uses: a region never straddles a segment's
    // end, so within the window translation is a constant offset and need not be redone.
    uint32_t offset = address - first_;
    if (offset < word_starts_) [[likely]] {
      uint32_t word;
      std::memcpy(&word, base_ + offset, sizeof word);
      return __builtin_bswap32(word);
    }
    return read_word_slowly(address);
  }

  // From an aligned address the complete model has translated to `physical` itself: never through
  // the window, which holds only addresses whose translation is fixed, so that a change to the TLB
  // leaves nothing stale.
  static uint32_t read_translated_word(uint32_t physical, uint32_t address);

 private:
  uint32_t read_word_slowly(uint32_t address);

  const uint8_t* base_ = nullptr;
  uint32_t first_ = 0;        // the address, as fetched, of the region's first byte
  uint32_t word_starts_ = 0;  // offsets below this have all four bytes in the region
};

// The word the processor fetches from `address`, and for the complete model the address error or
// TLB exception that stops the fetch before any access: then nothing is read, and the word is 0.
struct FetchedWord {
  uint32_t word;
  r4300i::Fault fault;
};
template <CpuModel kModel>
[[gnu::always_inline]] inline FetchedWord fetch_word(FetchWindow& fetch, uint32_t address) {
  if constexpr (kModel != CpuModel::r4300i) {
    return {fetch.read_word(address), r4300i::Fault::none};
  } else {
    const r4300i::Translation at = r4300i::translate_fetch(address);
    if (at.fault != r4300i::Fault::none) return {0, at.fault};
    if (r4300i::in_fixed_segment(address)) [[likely]]
      return {fetch.read_word(address), r4300i::Fault::none};
    return {FetchWindow::read_translated_word(at.physical, address), r4300i::Fault::none};
  }
}
