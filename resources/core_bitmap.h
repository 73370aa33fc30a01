#pragma once

#include <cstdint>
#include <vector>

#include "resources/indexed_image.h"

// The bytes of a bitmap file in the oldest layout every reader accepts: the 14-byte file header,
// the 12-byte core header, 256 palette entries of three bytes (blue, green, red) and the rows of
// 8-bit indices from the bottom up, each padded to a multiple of four bytes.
std::vector<uint8_t> encode_core_bitmap(const IndexedImage& image);

inline constexpr int kCoreBitmapHeadersSize = 14 + 12;
inline constexpr int kCoreBitmapPaletteSize = 256 * 3;

constexpr int core_bitmap_row_size(int width) {
  return (width + 3) / 4 * 4;
}
