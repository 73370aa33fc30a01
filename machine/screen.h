#pragma once

#include <cstdint>

#include "machine/devices/video_scanout.h"

// The console's screen as the front ends see it.

// The picture the console's video interface shows now, taken with the run thread held at an
// instruction boundary: empty when the VI shows nothing, and without the console's hardware.
VideoPicture screen_picture();

// How many fields a second the loaded cartridge's TV standard shows: 50 for PAL, 60 for NTSC and
// MPAL. Window thread.
int fields_per_second();

// The VI interrupts the console has raised since its boot, one a frame: 0 without
// the console's hardware. On the run thread, or with it held.
uint64_t vi_interrupts_raised();
