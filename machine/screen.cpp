#include "machine/screen.h"

#include "machine/console_boot.h"
#include "machine/devices/console_devices.h"
#include "machine/execution.h"
#include "memory/bus.h"

VideoPicture screen_picture() {
  ExecutionController::ScopedPause pause(execution);
  return bus.console ? scan_out(console_devices.vi) : VideoPicture{};
}

int fields_per_second() {
  return cartridge_tv_type() == TvType::pal ? 50 : 60;
}

uint64_t vi_interrupts_raised() {
  return bus.console ? console_devices.vi.interrupts_raised : 0;
}
