#pragma once

#include <cstdint>
#include <vector>

// Numbers in the little-endian order of the bitmap and icon file formats.
inline void put_u16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void put_u32(std::vector<uint8_t>& out, unsigned value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}
