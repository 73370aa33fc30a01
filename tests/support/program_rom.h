#pragma once

#include <string>

#include "tests/support/rom_image.h"

// Assembles `source` as the boot code of a ROM image (from 0x04000040 on), writes the image into
// `dir` and loads it. Returns what `load_rom` returned.
int load_program_rom(const TempDir& dir, const std::string& source);
