#pragma once

#include <cstdint>

#include "machine/devices/clocks.h"

// The television standard the console's boot stage reports to the cartridge (in s4), as the
// cartridge's country code chooses it.
TvType tv_type_of_country(uint8_t country);
// The loaded cartridge's, from its header's country code.
TvType cartridge_tv_type();

// What the console's built-in boot stage leaves when it jumps to the cartridge's boot code, which
// it has put in SP DMEM: the registers it documents, the hardware at rest, pc at 0xA4000040.
void set_console_boot_state();
