#pragma once

#include <cstdint>

#include "cpu/scheduler.h"
#include "machine/devices/audio_interface.h"
#include "machine/devices/clocks.h"
#include "machine/devices/display_processor.h"
#include "machine/devices/isviewer.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/peripheral_interface.h"
#include "machine/devices/rdram_interface.h"
#include "machine/devices/serial_interface.h"
#include "machine/devices/signal_processor.h"
#include "machine/devices/video_interface.h"
#include "memory/device.h"

// The console's hardware blocks around the complete processor, for the console machine: plain
// data, copied whole by the history's snapshots. They reach nothing but the machine's own parts
// (its memories, its clock, the processor's Cause), through the names the machine binds.
struct ConsoleDevices {
  RdramInterface ri;
  SignalProcessor sp;
  DisplayProcessor dp;
  MipsInterface mi;
  VideoInterface vi;
  AudioInterface ai;
  PeripheralInterface pi;
  SerialInterface si;
  IsViewer isviewer;

  // Puts every block's address ranges in `map`.
  void map_into(DeviceMap& map);
  // The blocks as the boot code leaves them for a console of `tv`'s standard (the SP halted, RDRAM
  // set up, no DMA under way, no interrupt), with their events taken off the clock.
  void reset(TvType tv);
  // The devices' events (Event::pi_dma and on).
  void take_device_event(Event event);
  // What the controller in the first port shows from now on.
  void set_controller(uint16_t buttons, int8_t stick_x, int8_t stick_y);
};

// The machine object owns it: machine/object/machine.h.
extern ConsoleDevices& console_devices;
