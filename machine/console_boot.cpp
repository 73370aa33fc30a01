#include "machine/console_boot.h"

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "machine/devices/console_devices.h"
#include "memory/rom_image.h"

namespace {

// The boot stage leaves 32-bit values sign-extended, as every 32-bit operation does.
constexpr uint64_t sign_extended(uint32_t value) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(value)));
}

constexpr uint32_t kCartridgeBootCode = 0xA4000040;
constexpr uint32_t kCountryOffset = 0x3E;
// The seed of the security chip the common cartridges carry, which the boot code is checked with.
constexpr uint64_t kCicSeed = 0x3F;

}  // namespace

TvType tv_type_of_country(uint8_t country) {
  switch (country) {
    case 'D':  // Germany
    case 'F':  // France
    case 'I':  // Italy
    case 'P':  // Europe
    case 'S':  // Spain
    case 'U':  // Australia
    case 'X':
    case 'Y':  // other PAL regions
      return TvType::pal;
    case 'B':  // Brazil
      return TvType::mpal;
    default:
      return TvType::ntsc;
  }
}

TvType cartridge_tv_type() {
  return tv_type_of_country(kCountryOffset < rom.cartridge.size() ? rom.cartridge[kCountryOffset]
                                                                  : uint8_t{0});
}

void set_console_boot_state() {
  clear_registers();
  cpu.hi_reg = 0;
  cpu.lo_reg = 0;
  cpu.delay_slot_pending = 0;
  cpu.ll_bit = 0;
  const TvType tv = cartridge_tv_type();
  cpu.gpr[9] = 0;                                   // t1
  cpu.gpr[10] = 0x40;                               // t2
  cpu.gpr[11] = sign_extended(kCartridgeBootCode);  // t3
  cpu.gpr[19] = 0;                                  // s3: the boot came from a cartridge
  cpu.gpr[20] = static_cast<uint64_t>(tv);          // s4
  cpu.gpr[21] = 0;                                  // s5: a cold reset
  cpu.gpr[22] = kCicSeed;                           // s6
  cpu.gpr[23] = 0;                                  // s7: the console's version
  cpu.gpr[29] = sign_extended(0xA4001FF0);          // sp
  cpu.gpr[31] = sign_extended(0xA4001550);          // ra
  cpu.cp0[r4300i::kRandom] = 31;
  cpu.cp0[r4300i::kStatus] = 0x34000000;  // CU0, CU1 and FR; kernel mode, interrupts off
  cpu.cp0[r4300i::kConfig] = 0x0006E463;
  set_model_reset_registers();
  cpu.pc = kCartridgeBootCode;
  console_devices.reset(tv);
}
