#include "machine/history/machine_frame.h"

#include <cstdio>

#include "machine/machine_state.h"
#include "memory/rom_image.h"

MachineFrame MachineFrame::capture() {
  MachineFrame frame;
  frame.cpu = ::cpu;
  frame.scheduler = ::scheduler;
  frame.register_blocks = plain_registers.bytes;
  frame.console_devices = ::console_devices;
  frame.cartridge_position = rom.rom_file ? std::ftell(rom.rom_file) : -1;
  frame.stop_on_unhandled = shared.stop_on_unhandled.load(std::memory_order_relaxed);
  return frame;
}

void MachineFrame::put() const {
  ::cpu = cpu;
  const uint64_t snapshot_at = ::scheduler.due[static_cast<std::size_t>(Event::snapshot)];
  ::scheduler = scheduler;
  ::scheduler.schedule(Event::snapshot, snapshot_at);
  plain_registers.bytes = register_blocks;
  ::console_devices = console_devices;
  if (rom.rom_file && cartridge_position >= 0)
    std::fseek(rom.rom_file, cartridge_position, SEEK_SET);
  shared.stop_on_unhandled.store(stop_on_unhandled, std::memory_order_relaxed);
}
