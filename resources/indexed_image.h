#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Rgb {
  uint8_t red, green, blue;
};

// A picture of palette indices, rows from the top down.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::array<Rgb, 256> palette{};
  std::vector<uint8_t> pixels;  // width * height indices

  IndexedImage(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}

  uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  void set(int x, int y, uint8_t index) {
    if (x >= 0 && x < width && y >= 0 && y < height)
      pixels[static_cast<std::size_t>(y) * width + x] = index;
  }
};
