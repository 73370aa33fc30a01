#pragma once

#include <cstdint>

#include "machine/devices/joybus.h"
#include "memory/device.h"

// The Serial Interface (0x04800000) and the PIF behind it (0x1FC00000-0x1FC007FF): PIF ROM, which
// reads 0 once the console has booted, and PIF RAM, its last 64 bytes.
//
// SI_PIF_AD_WR64B copies 64 bytes of RDRAM from SI_DRAM_ADDR into PIF RAM, SI_PIF_AD_RD64B PIF RAM
// into RDRAM; a word the processor writes into PIF RAM goes over the same serial line. Each keeps
// the SI busy while its bits cross the line, and ends with the SI interrupt (Event::si_dma); the
// processor's reads of PIF RAM wait for their answer, so they take no time here. As n64brew's
// "Serial Interface" describes, the PIF takes the block as its joybus commands (joybus.h) when it
// is read with bit 0 of its command byte set, and clears that bit; from then on it runs them on
// every read, before it answers, until a block is written again, so that a program may write its
// block once and read the controllers every frame (the suite's input demo does). The read takes
// their time on the joybus too. The boot code's last word to the PIF sets bit 3 of the command byte
// (end of boot), which the PIF takes and clears.
//
// Times (n64brew "Joybus Protocol" for the joybus; the serial line to the PIF is taken as 4 Mbit/s,
// a quarter of the 16 MHz clock the RCP gives the PIF): a 64-byte transfer crosses 524 bits
// (command, address, acknowledgment and data), a word 44; a joybus byte takes 32 us.
class SerialInterface final : public Device {
 public:
  static constexpr uint32_t kFirst = 0x04800000;
  static constexpr uint32_t kBytes = 0x1C;
  static constexpr uint32_t kPifFirst = 0x1FC00000;
  static constexpr uint32_t kPifBytes = 0x800;
  static constexpr uint32_t kPifOffset = 0x1000;  // the PIF's place in the device
  static constexpr uint32_t kPifRamOffset = 0x7C0;

  enum Register : uint32_t {
    kDramAddr = 0x00,
    kPifAdRd64b = 0x04,
    kPifAdWr4b = 0x08,
    kPifAdWr64b = 0x10,
    kPifAdRd4b = 0x14,
    kStatus = 0x18,
  };
  static constexpr uint32_t kDmaBusy = 1u << 0;
  static constexpr uint32_t kIoBusy = 1u << 1;
  static constexpr uint32_t kInterrupt = 1u << 12;
  // PIF RAM's command byte.
  static constexpr uint8_t kRunJoybus = 0x01;
  static constexpr uint8_t kEndBoot = 0x08;

  enum class Transfer : uint8_t { none, read64, write64, write4 };

  void map_into(DeviceMap& map);
  // The end of the transfer under way: Event::si_dma.
  void transfer_ended();

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint64_t read_steady_until(uint32_t) const override { return kSteadyForGood; }

  uint32_t dram_addr = 0;
  uint32_t pif_address = 0;  // the last one written to SI_PIF_AD_RD64B or SI_PIF_AD_WR64B
  Transfer transfer = Transfer::none;
  PifRam pif_ram{};
  StandardController controller{};
  bool joybus_configured = false;

 private:
  void start(Transfer kind, uint64_t cycles);
  void start_pif_read();
  void write_pif(uint32_t offset, uint32_t value, uint32_t mask);
};
