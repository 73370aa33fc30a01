#include "resources/core_bitmap.h"

#include "resources/little_endian.h"

std::vector<uint8_t> encode_core_bitmap(const IndexedImage& image) {
  const unsigned pixels_offset = kCoreBitmapHeadersSize + kCoreBitmapPaletteSize;
  const unsigned row_size = core_bitmap_row_size(image.width);
  const unsigned file_size = pixels_offset + row_size * image.height;

  std::vector<uint8_t> out;
  out.reserve(file_size);
  out.push_back('B');
  out.push_back('M');
  put_u32(out, file_size);
  put_u32(out, 0);  // two reserved words
  put_u32(out, pixels_offset);

  put_u32(out, 12);  // the core header's own size tells readers which layout follows
  put_u16(out, image.width);
  put_u16(out, image.height);
  put_u16(out, 1);  // planes
  put_u16(out, 8);  // bits per pixel

  for (const Rgb& colour : image.palette) {
    out.push_back(colour.blue);
    out.push_back(colour.green);
    out.push_back(colour.red);
  }

  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) out.push_back(image.at(x, y));
    out.resize(out.size() + (row_size - image.width), 0);
  }
  return out;
}
