#include "machine/menu_commands.h"

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/scheduler.h"
#include "machine/console_boot.h"
#include "machine/devices/console_devices.h"
#include "machine/devices/plain_registers.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "memory/device.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"

namespace {

void set_boot_registers(uint32_t pc) {
  if (bus.console) {
    set_console_boot_state();
    return;
  }
  cpu.gpr[20] = 0x1;
  cpu.gpr[22] = 0x3F;
  cpu.gpr[29] = 0xA4001FFC;
  cpu.cp0[1] = 0x1F;
  cpu.cp0[kCountRegister] = 0x1;
  cpu.cp0[12] = 0x70400004;
  cpu.cp0[16] = 0x00066463;
  set_model_reset_registers();
  cpu.pc = pc;
  // The MI version register.
  for (uint32_t address = 0x04300004; address <= 0x04300007; ++address) {
    mem_write_byte(address, 1);
  }
}

}  // namespace

void choose_cpu_model(CpuModel model) {
  cpu.model = model;
}

uint32_t rdram_bytes_of(Hardware hardware, bool expansion) {
  return hardware == Hardware::console && expansion ? kRdramExpansionBytes : kRdramStandardBytes;
}

void choose_hardware(Hardware hardware, bool expansion) {
  const bool console = hardware == Hardware::console;
  bus.console = console;
  bus.rdram_bytes = rdram_bytes_of(hardware, expansion);
  scheduler.count_shift = console ? 1 : 0;
  device_map = DeviceMap{};
  if (console) {
    cpu.model = CpuModel::r4300i;
    console_devices.map_into(device_map);
  } else {
    plain_registers.map_into(device_map);
  }
}

int load_rom(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  if (!open_rom_image(path)) {
    host().message_box("ROM", "Not a valid ROM!");
    return 0;
  }
  shared.title_text.format("Korvel - %s", path);
  host().set_title(shared.title_text.c_str());
  shared.listing_offset = 0;
  set_boot_registers(kBootPc);
  return 1;
}

void reset_cpu() {
  clear_registers();
  set_boot_registers(rom.boot_pc);
}

void close_rom() {
  // The run thread ends first: everything below changes state it would be using.
  execution.end_run_thread();
  shared.title_text.set("Korvel");
  host().set_title(shared.title_text.c_str());
  clear_registers();
  rom.rom_name.clear();
  cpu.pc = 0;
  rom.boot_pc = 0;
  rom.rom_loaded = 0;
  close_rom_image();
}

void start_cpu(RunObserver* observer) {
  shared.title_text.set("Korvel - ");
  rom.rom_loaded = 0;  // the header lines are no longer painted
  shared.running = 1;
  shared.title_text.append(rom.rom_name.empty() ? rom.rom_path.c_str() : rom.rom_name.c_str());
  shared.title_text.append(" - Running");
  host().set_title(shared.title_text.c_str());
  execution.start(observer);
}
