#pragma once

#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/scheduler.h"
#include "machine/devices/console_devices.h"
#include "machine/devices/plain_registers.h"

// The machine's state apart from its code pages (RDRAM and the SP memories): the processor, the
// register blocks (the plain ones and the console's devices, their DMA and interrupts under way),
// where cartridge reads go on in the image, and the one setting that changes
// what an instruction does. A run from the same frame and pages does the same thing again.
struct MachineFrame {
  CpuState cpu;
  Scheduler scheduler;  // its snapshot event is the history's own, and stays as it is
  std::array<uint8_t, PlainRegisters::kBytes> register_blocks;
  ConsoleDevices console_devices;
  long cartridge_position;
  int32_t stop_on_unhandled;

  static MachineFrame capture();
  void put() const;
};
