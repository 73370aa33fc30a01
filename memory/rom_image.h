#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/text.h"

// Longest path a ROM may be opened from (the platform's own limit).
inline constexpr int kMaxPathLength = 4096;

inline constexpr uint32_t kBootPc = 0x04000040;

// The loaded cartridge image and the header texts the main window paints.
struct RomState {
  std::FILE* rom_file = nullptr;  // open while a ROM is loaded; cartridge reads come from it
  int32_t byte_swapped = 0;
  uint32_t rom_size = 0;  // the file's size, held at 0xFFFFFFFF for larger files
  uint32_t boot_pc = 0;
  int32_t rom_loaded = 0;  // while set the header texts are painted
  Text<32> byte_order_text;
  Text<32> pc_text;
  Text<21> rom_name;  // the 20 header bytes and a terminator
  Text<32> rom_manufacturer;
  Text<32> country_text;
  Text<kMaxPathLength> rom_path;  // the path last loaded
  // The console machine's cartridge, read by address rather than in file order: the image's first
  // kCartridgeImageBytes at most, in native order. Empty on the plain-storage machine.
  std::vector<uint8_t> cartridge;
};

// The most of an image the console machine holds: the largest cartridges made.
inline constexpr uint32_t kCartridgeImageBytes = 64 * 1024 * 1024;

// The machine's cartridge (the machine object owns it: machine/object/machine.h).
extern RomState& rom;

// Opens the image at `path` in place of the open one: its header texts, its first 4096 bytes in
// SP DMEM in native order, the boot address, and the file positioned where cartridge reads begin;
// on the console machine the image held whole as well.
// False for an image that cannot be read or has neither byte order, which changes nothing at all.
bool open_rom_image(const char* path);

// Closes the open image, if any.
void close_rom_image();

// The next byte of the open image at its current position, or 0 when none is open or it has ended.
uint8_t cartridge_read_byte();

// The image byte at `offset` without moving the file position; 0 past the end or with no image.
uint8_t cartridge_peek_byte(uint32_t offset);

// The console machine's cartridge byte at `offset`: the image's, and past its end what the
// cartridge bus leaves there when nothing answers (the address's low halfword, in each half of the
// word).
uint8_t cartridge_byte(uint32_t offset);
