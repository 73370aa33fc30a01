#pragma once

#include <cstdint>
#include <cstdio>

#include "cpu/shared_state.h"
#include "cpu/text.h"

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
};

extern RomState rom;

inline constexpr uint32_t kBootPc = 0x04000040;

// Loads the image at `path` and sets the boot state. Returns 1 when loaded; 0 for an empty path or
// a refused image, which leaves the ROM loaded before, its file and its state exactly as they were.
int load_rom(const char* path);

// Back to the boot state of the loaded image (or pc 0 after Close ROM).
void reset_cpu();

// Gives the image up: the run thread is ended, the registers are cleared and the file closed.
void close_rom();

// The next byte of the open image at its current position, or 0 when none is open or it has ended.
uint8_t cartridge_read_byte();

// Puts the ROM state back to its value at program start, closing any open image (for the tests).
void reset_rom_state();
