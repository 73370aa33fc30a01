#include "resources/icon_file.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "resources/little_endian.h"

namespace {

struct Colour {
  uint8_t red = 0, green = 0, blue = 0;
  bool transparent = false;
};

constexpr int kMaxColours = 16;

// One colour line of the XPM: its character, then "c" and either "None" or "#RRGGBB".
bool read_colour(std::string_view line, char& key, Colour& colour) {
  if (line.size() < 5) return false;
  key = line[0];
  const std::string_view value = line.substr(line.find_last_of(' ') + 1);
  if (value == "None") {
    colour.transparent = true;
    return true;
  }
  unsigned red, green, blue;
  if (value.size() != 7 || std::sscanf(value.data(), "#%2x%2x%2x", &red, &green, &blue) != 3)
    return false;
  colour = {static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue)};
  return true;
}

}  // namespace

std::vector<uint8_t> encode_icon_file(std::span<const char* const> xpm) {
  int width, height, colours, chars_per_pixel;
  if (xpm.empty() ||
      std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &chars_per_pixel) != 4 ||
      width <= 0 || width > 256 || height <= 0 || height > 256 || colours < 1 ||
      colours > kMaxColours || chars_per_pixel != 1 ||
      xpm.size() < static_cast<std::size_t>(1 + colours + height))
    return {};
  std::array<Colour, kMaxColours> palette{};
  std::array<int, 256> index_of{};
  index_of.fill(-1);
  for (int i = 0; i < colours; ++i) {
    char key;
    if (!read_colour(xpm[1 + i], key, palette[i])) return {};
    index_of[static_cast<uint8_t>(key)] = i;
  }

  const unsigned colour_row = (width * 4 + 31) / 32 * 4;  // 4 bits a pixel, rows of whole words
  const unsigned mask_row = (width + 31) / 32 * 4;
  const unsigned image_size = 40 + 4 * kMaxColours + (colour_row + mask_row) * height;
  std::vector<uint8_t> out;
  put_u16(out, 0);  // icon file: reserved, type 1, one image
  put_u16(out, 1);
  put_u16(out, 1);
  out.push_back(static_cast<uint8_t>(width));  // 256 is written as 0
  out.push_back(static_cast<uint8_t>(height));
  out.push_back(kMaxColours);
  out.push_back(0);
  put_u16(out, 1);  // planes
  put_u16(out, 4);  // bits per pixel
  put_u32(out, image_size);
  put_u32(out, 6 + 16);  // the image follows the directory

  put_u32(out, 40);
  put_u32(out, width);
  put_u32(out, 2 * height);  // the colours and the mask, one above the other
  put_u16(out, 1);
  put_u16(out, 4);
  put_u32(out, 0);  // uncompressed
  put_u32(out, (colour_row + mask_row) * height);
  put_u32(out, 0);
  put_u32(out, 0);
  put_u32(out, kMaxColours);
  put_u32(out, 0);
  for (const Colour& colour : palette) {
    out.insert(out.end(), {colour.blue, colour.green, colour.red, 0});
  }

  std::vector<uint8_t> colour_rows, mask_rows;
  for (int y = height - 1; y >= 0; --y) {
    const char* row = xpm[1 + colours + y];
    if (std::strlen(row) < static_cast<std::size_t>(width)) return {};
    std::vector<uint8_t> pixels(colour_row, 0), mask(mask_row, 0);
    for (int x = 0; x < width; ++x) {
      const int index = index_of[static_cast<uint8_t>(row[x])];
      if (index < 0) return {};
      // A transparent pixel is black under a set mask bit: the screen shows through unchanged.
      const bool transparent = palette[index].transparent;
      if (transparent) mask[x / 8] |= 0x80 >> (x % 8);
      pixels[x / 2] |= (transparent ? 0 : index) << (x % 2 ? 0 : 4);
    }
    colour_rows.insert(colour_rows.end(), pixels.begin(), pixels.end());
    mask_rows.insert(mask_rows.end(), mask.begin(), mask.end());
  }
  out.insert(out.end(), colour_rows.begin(), colour_rows.end());
  out.insert(out.end(), mask_rows.begin(), mask_rows.end());
  return out;
}
