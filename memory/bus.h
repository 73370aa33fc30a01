#pragma once

// What the memory map serves around its memories, which comes with the machine chosen (window
// thread, no run thread): the plain-storage machine's, or the console's, where an address that
// maps to nothing reads as the bus leaves it and never faults, and the cartridge is read by
// address from the image held whole rather than in file order.
struct BusSetup {
  bool console = false;
};

// The machine object owns it: machine/object/machine.h.
extern BusSetup& bus;
