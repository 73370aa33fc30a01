#pragma once

#include <array>
#include <cstdint>

#include "memory/device.h"

// The Peripheral Interface (0x04600000): DMA between RDRAM and the PI bus (the cartridge), and the
// bus timings of its two domains.
//
// A DMA takes the time the bus timings of its domain give (n64brew "Peripheral Interface"): each
// page of 2^(PGS+2) bytes costs LAT+1 RCP cycles to open, each 16-bit word PWD+1 to read and
// RLS+1 to release; the RCP runs at two thirds of the processor's clock. PI_STATUS shows it busy
// all that time; its bytes move and the PI interrupt is raised when it ends (Event::pi_dma).
//
// Both address registers keep bit 0 at zero, as the hardware does; a DMA moves LEN+1 bytes, less
// as many as its RDRAM address lies past an 8-byte boundary. (The hardware's way with odd lengths
// past the first 128-byte block, and with misaligned DMAs longer than one block, is not
// modelled.) Bytes come from the cartridge image for bus addresses 0x10000000-0x1FBFFFFF and read
// 0 elsewhere; bytes written to the bus (PI_RD_LEN) go nowhere.
class PeripheralInterface final : public Device {
 public:
  static constexpr uint32_t kFirst = 0x04600000;
  static constexpr uint32_t kBytes = 0x34;

  enum Register : uint32_t {
    kDramAddr = 0x00,
    kCartAddr = 0x04,
    kRdLen = 0x08,
    kWrLen = 0x0C,
    kStatus = 0x10,
    kBsdDom1Lat = 0x14,  // then PWD, PGS and RLS; domain 2's four from 0x24
  };
  static constexpr uint32_t kDmaBusy = 1u << 0;
  static constexpr uint32_t kIoBusy = 1u << 1;
  static constexpr uint32_t kError = 1u << 2;
  static constexpr uint32_t kInterrupt = 1u << 3;
  // PI_STATUS as written.
  static constexpr uint32_t kResetDma = 1u << 0;
  static constexpr uint32_t kClearInterrupt = 1u << 1;

  // The DMA's end: Event::pi_dma.
  void dma_ended();
  // How many processor cycles a DMA of `length` bytes at bus address `bus_address` takes.
  uint64_t dma_cycles(uint32_t bus_address, uint32_t length) const;

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint64_t read_steady_until(uint32_t) const override { return kSteadyForGood; }

  uint32_t dram_addr = 0;
  uint32_t cart_addr = 0;
  uint32_t rd_len = 0;  // as written: both length registers read back as 0x7F
  uint32_t wr_len = 0;
  // LAT, PWD, PGS and RLS of domain 1, then of domain 2. Domain 1's as the boot code sets them
  // from a cartridge's header (0x80371240).
  std::array<uint32_t, 8> bus_timing{0x40, 0x12, 0x07, 0x03, 0, 0, 0, 0};
  bool busy = false;
  bool error = false;
  bool to_rdram = false;  // the DMA under way: PI_WR_LEN's (bus to RDRAM) or PI_RD_LEN's
  uint32_t length = 0;

 private:
  void start_dma(bool into_rdram, uint32_t length_register);
};
