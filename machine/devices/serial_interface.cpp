#include "machine/devices/serial_interface.h"

#include <cstring>

#include "cpu/scheduler.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/register_bits.h"
#include "memory/dma.h"

namespace {

constexpr uint32_t kDramAddrBits = 0xFFFFFF;
constexpr uint32_t kPifAddressBits = 0x7FC;
constexpr uint32_t kCommandByte = kPifRamBytes - 1;

// A bit on the serial line to the PIF takes 0.25 us, 375/16 processor cycles; a byte on the joybus
// 32 us (4 us a bit), 3000 cycles.
constexpr uint64_t kSerialBitSixteenths = 375;
constexpr uint64_t kJoybusByteCycles = 3000;
constexpr uint64_t kBlockBits = 2 + 9 + 1 + 8 * kPifRamBytes;
constexpr uint64_t kWordBits = 2 + 9 + 1 + 32;

constexpr uint64_t serial_cycles(uint64_t bits) {
  return (bits * kSerialBitSixteenths + 15) / 16;
}

bool in_pif_ram(uint32_t pif_offset) {
  return pif_offset >= SerialInterface::kPifRamOffset;
}

}  // namespace

void SerialInterface::map_into(DeviceMap& map) {
  map.add({kFirst, kFirst + kBytes - 1, this, 0});
  map.add({kPifFirst, kPifFirst + kPifBytes - 1, this, kPifOffset});
}

void SerialInterface::start(Transfer kind, uint64_t cycles) {
  transfer = kind;
  scheduler.schedule(Event::si_dma, scheduler.now + cycles);
}

void SerialInterface::start_pif_read() {
  uint64_t joybus_bytes = 0;
  if (pif_ram[kCommandByte] & kRunJoybus) {
    joybus_configured = true;
    pif_ram[kCommandByte] &= ~kRunJoybus;
  }
  if (joybus_configured) joybus_bytes = run_joybus_commands(pif_ram, controller);
  start(Transfer::read64, serial_cycles(kBlockBits) + joybus_bytes * kJoybusByteCycles);
}

void SerialInterface::transfer_ended() {
  uint32_t i = 0;
  switch (transfer) {
    case Transfer::read64:
      dma_fill_rdram(dram_addr, kPifRamBytes, DmaSource::si, [&](uint8_t* to, uint32_t count) {
        std::memcpy(to, pif_ram.data() + i, count);
        i += count;
      });
      break;
    case Transfer::write64:
      dma_read_rdram(dram_addr, pif_ram.data(), kPifRamBytes);
      pif_ram[kCommandByte] &= ~kEndBoot;
      joybus_configured = false;
      break;
    case Transfer::write4:
      pif_ram[kCommandByte] &= ~kEndBoot;
      break;
    case Transfer::none:
      return;
  }
  transfer = Transfer::none;
  mips_interface.raise(RcpInterrupt::si);
}

void SerialInterface::write_pif(uint32_t offset, uint32_t value, uint32_t mask) {
  const uint32_t pif_offset = offset - kPifOffset;
  if (!in_pif_ram(pif_offset) || transfer != Transfer::none) return;
  poke(offset, value, mask);
  if (completes(mask)) start(Transfer::write4, serial_cycles(kWordBits));
}

void SerialInterface::write(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset >= kPifOffset) {
    write_pif(offset, value, mask);
    return;
  }
  switch (offset) {
    case kDramAddr:
      poke(offset, value, mask);
      break;
    case kPifAdRd64b:
    case kPifAdWr64b: {
      const bool complete = write_completes(pif_address, value, mask);
      pif_address &= kPifAddressBits;
      if (!complete || transfer != Transfer::none) break;
      if (offset == kPifAdRd64b) {
        start_pif_read();
      } else {
        start(Transfer::write64, serial_cycles(kBlockBits));
      }
      break;
    }
    case kStatus:
      mips_interface.lower(RcpInterrupt::si);
      break;
    default:  // the 4-byte transfers do not work on the console
      break;
  }
}

uint32_t SerialInterface::peek(uint32_t offset) const {
  if (offset >= kPifOffset) {
    const uint32_t pif_offset = offset - kPifOffset;
    if (!in_pif_ram(pif_offset)) return 0;
    return bytes_word(&pif_ram[pif_offset - kPifRamOffset]);
  }
  switch (offset) {
    case kDramAddr:
      return dram_addr;
    case kPifAdRd64b:
    case kPifAdWr64b:
      return pif_address;
    case kStatus: {
      const bool io = transfer == Transfer::write4;
      const bool dma = transfer != Transfer::none && !io;
      return (dma ? kDmaBusy : 0) | (io ? kIoBusy : 0) |
             (mips_interface.raised(RcpInterrupt::si) ? kInterrupt : 0);
    }
    default:
      return 0;
  }
}

bool SerialInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  if (offset < kPifOffset) {
    if (offset != kDramAddr) return false;
    dram_addr = merge_bytes(dram_addr, value, mask) & kDramAddrBits;
    return true;
  }
  const uint32_t pif_offset = offset - kPifOffset;
  if (!in_pif_ram(pif_offset)) return false;
  write_bytes_word(&pif_ram[pif_offset - kPifRamOffset], value, mask);
  return true;
}
