#pragma once

#include <array>
#include <cstdint>

#include "memory/device.h"

// The RDRAM Interface (0x04700000) and RDRAM's own registers (0x03F00000-0x03FFFFFF), as the boot
// code leaves them. RI_SELECT reads non-zero, which tells the boot code RDRAM is already set up (a
// warm boot), so that it skips setting up the modules (libdragon's boot/ipl3.c). Every module's
// register window, and the window written to all at once, show the same ten registers, stored as
// written: nothing depends on them.
class RdramInterface final : public Device {
 public:
  static constexpr uint32_t kRdramRegistersFirst = 0x03F00000;
  static constexpr uint32_t kRdramRegistersLast = 0x03FFFFFF;
  static constexpr uint32_t kModuleWindow = 0x400;
  static constexpr uint32_t kRdramRegisters = 10;
  static constexpr uint32_t kRiFirst = 0x04700000;
  static constexpr uint32_t kRiBytes = 0x20;
  static constexpr uint32_t kRiOffset = 0x100000;  // the RI's registers' place in the device

  enum RiRegister : uint32_t {
    kMode = 0,
    kConfig,
    kCurrentLoad,
    kSelect,
    kRefresh,
    kLatency,
    kError,
    kBankStatus,
  };

  void map_into(DeviceMap& map);

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override { poke(offset, value, mask); }
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint64_t read_steady_until(uint32_t) const override { return kSteadyForGood; }

  std::array<uint32_t, kRdramRegisters> rdram{};
  // RI_MODE in standard mode, RI_CONFIG with automatic current calibration, RI_SELECT choosing
  // the receive and transmit timings: the values libdragon's boot code sets up RDRAM with.
  std::array<uint32_t, 8> ri{0x0E, 0x40, 0, 0x14, 0, 0, 0, 0};
};
