#pragma once

#include <cstdint>

// What the devices' registers share. The processor reaches a register a byte at a time, first
// byte first (memory/memory_map.cpp), each access with the mask of its byte: a word's effects
// that need the whole value take place once, with its last byte.

// The register as a write leaves it: the bytes `mask` selects from `value`, the rest as they were.
constexpr uint32_t merge_bytes(uint32_t old, uint32_t value, uint32_t mask) {
  return (old & ~mask) | (value & mask);
}

// Whether an access reaches the register's last byte, which completes a word written or read.
constexpr bool completes(uint32_t mask) {
  return (mask & 0xFF) != 0;
}

// Writes the bytes of a register whose complete word sets something going; true once it is
// complete.
constexpr bool write_completes(uint32_t& word, uint32_t value, uint32_t mask) {
  word = merge_bytes(word, value, mask);
  return completes(mask);
}

// One pair of a register whose written bits set and clear others: `bit` of `state` set when
// `written` has the set bit, cleared when it has the clear bit, and left alone with both or none.
constexpr uint32_t set_or_clear(uint32_t state, uint32_t written, uint32_t clear, uint32_t set,
                                uint32_t bit) {
  const bool clearing = (written & clear) != 0;
  const bool setting = (written & set) != 0;
  if (setting && !clearing) return state | bit;
  if (clearing && !setting) return state & ~bit;
  return state;
}

// A register kept as four bytes, first byte most significant.
inline uint32_t bytes_word(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

inline void write_bytes_word(uint8_t* bytes, uint32_t value, uint32_t mask) {
  for (unsigned k = 0; k < 4; ++k) {
    const unsigned shift = 8 * (3 - k);
    if ((mask >> shift) & 0xFF) bytes[k] = static_cast<uint8_t>(value >> shift);
  }
}
