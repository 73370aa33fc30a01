#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// A picture read from a PNG file, as 8-bit RGB rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// The PNG at `path` (an alpha channel dropped); empty when it cannot be read.
Picture read_png(const std::filesystem::path& path);

// A suite ROM's reference picture (tests/data/suite/ref/NAME.png), and the ROM itself.
Picture suite_reference(const char* name);
std::filesystem::path suite_rom(const char* name);
