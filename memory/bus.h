#pragma once

#include <cstdint>

#include "memory/storage.h"

// What the memory map serves around its memories, which comes with the machine chosen (window
// thread, no run thread): the plain-storage machine's, or the console's, where an address that
// maps to nothing reads as the bus leaves it and never faults, and the cartridge is read by
// address from the image held whole rather than in file order.
struct BusSetup {
  bool console = false;
  // The RDRAM installed (a power of two): the console's 4 MB, or 8 MB with the memory expansion,
  // chosen with the hardware. Bytes past it are not memory: the console's bus reads them as 0 and
  // drops writes, the plain-storage machine faults.
  uint32_t rdram_bytes = kRdramStandardBytes;
};

// The machine object owns it: machine/object/machine.h.
extern BusSetup& bus;
