#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "resources/core_bitmap.h"

namespace {

unsigned u16(const std::vector<uint8_t>& bytes, std::size_t at) {
  return bytes.at(at) | bytes.at(at + 1) << 8;
}

unsigned u32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return u16(bytes, at) | u16(bytes, at + 2) << 16;
}

TEST(CoreBitmap, PadsRowsToFourBytesAndStoresThemBottomUp) {
  IndexedImage image(3, 2);
  image.palette[7] = {0x11, 0x22, 0x33};
  image.set(0, 0, 7);
  image.set(1, 0, 8);
  image.set(2, 0, 9);
  image.set(0, 1, 4);
  image.set(1, 1, 5);
  image.set(2, 1, 6);
  const std::vector<uint8_t> bytes = encode_core_bitmap(image);

  const std::size_t pixels = 14 + 12 + 256 * 3;
  ASSERT_EQ(bytes.size(), pixels + 2 * 4);
  EXPECT_EQ(u32(bytes, 10), pixels);
  // Palette entries are blue, green, red.
  EXPECT_EQ(bytes[26 + 7 * 3], 0x33);
  EXPECT_EQ(bytes[26 + 7 * 3 + 1], 0x22);
  EXPECT_EQ(bytes[26 + 7 * 3 + 2], 0x11);
  const std::vector<uint8_t> rows(bytes.begin() + pixels, bytes.end());
  EXPECT_EQ(rows, (std::vector<uint8_t>{4, 5, 6, 0, 7, 8, 9, 0}));
}

TEST(AboutBitmapFile, HasTheCoreHeaderAndAFullPalette) {
  std::ifstream file(KORVEL_ABOUT_BITMAP, std::ios::binary);
  ASSERT_TRUE(file) << KORVEL_ABOUT_BITMAP;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};

  const std::size_t row_size = 364;  // 361 pixels padded to a multiple of four
  const std::size_t pixels_offset = 14 + 12 + 256 * 3;
  ASSERT_EQ(bytes.size(), pixels_offset + row_size * 164);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(u32(bytes, 2), bytes.size());
  EXPECT_EQ(u32(bytes, 10), pixels_offset);
  EXPECT_EQ(u32(bytes, 14), 12u);   // the core header
  EXPECT_EQ(u16(bytes, 18), 361u);  // width
  EXPECT_EQ(u16(bytes, 20), 164u);  // height, positive: rows from the bottom up
  EXPECT_EQ(u16(bytes, 22), 1u);    // planes
  EXPECT_EQ(u16(bytes, 24), 8u);    // bits per pixel
}

}  // namespace
