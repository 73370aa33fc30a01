#include "machine/devices/peripheral_interface.h"

#include "cpu/scheduler.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/register_bits.h"
#include "memory/dma.h"
#include "memory/rom_image.h"

namespace {

constexpr uint32_t kDramAddrBits = 0x00FFFFFE;
constexpr uint32_t kCartAddrBits = 0xFFFFFFFE;
constexpr uint32_t kLengthBits = 0x00FFFFFF;
constexpr uint32_t kLengthReadBack = 0x7F;
// LAT, PWD, PGS and RLS.
constexpr std::array<uint32_t, 4> kTimingBits{0xFF, 0xFF, 0x0F, 0x03};

constexpr uint32_t kCartridgeRomFirst = 0x10000000;
constexpr uint32_t kCartridgeRomEnd = 0x1FC00000;

// The bus addresses of domain 2: the 64DD's registers and the cartridge's save memory.
bool in_domain_2(uint32_t bus_address) {
  return (bus_address >= 0x05000000 && bus_address < 0x06000000) ||
         (bus_address >= 0x08000000 && bus_address < 0x10000000);
}

uint8_t bus_byte(uint32_t bus_address) {
  if (bus_address < kCartridgeRomFirst || bus_address >= kCartridgeRomEnd) return 0;
  return cartridge_peek_byte(bus_address - kCartridgeRomFirst);
}

uint32_t timing_index(uint32_t offset) {
  return (offset - PeripheralInterface::kBsdDom1Lat) / 4;
}

}  // namespace

uint64_t PeripheralInterface::dma_cycles(uint32_t bus_address, uint32_t bytes) const {
  const uint32_t* timing = &bus_timing[in_domain_2(bus_address) ? 4 : 0];
  const uint64_t page_bytes = uint64_t{1} << (timing[2] + 2);
  const uint64_t last = uint64_t{bus_address} + bytes - 1;
  const uint64_t pages = last / page_bytes - bus_address / page_bytes + 1;
  const uint64_t words = (uint64_t{bytes} + 1) / 2;
  const uint64_t rcp_cycles = pages * (timing[0] + 1) + words * (timing[1] + 1 + timing[3] + 1);
  return (rcp_cycles * 3 + 1) / 2;
}

void PeripheralInterface::start_dma(bool into_rdram, uint32_t length_register) {
  if (busy) {
    error = true;
    return;
  }
  busy = true;
  to_rdram = into_rdram;
  length = (length_register & kLengthBits) + 1;
  scheduler.schedule(Event::pi_dma, scheduler.now + dma_cycles(cart_addr, length));
}

void PeripheralInterface::dma_ended() {
  if (!busy) return;
  // RDRAM takes the bytes in 8-byte words: a DMA into RDRAM ends where it would have ended had it
  // started at its word's beginning, so that a start within a word moves that many bytes fewer
  // (as the DMAAlignment-PI-cart test ROM measured, and libdragon's dma_read_async expects).
  // PI_DRAM_ADDR then holds the next word's address.
  const uint32_t rdram_end = (dram_addr & ~7u) + length;
  if (to_rdram && rdram_end > dram_addr) {
    uint32_t bus_address = cart_addr;
    dma_fill_rdram(dram_addr, rdram_end - dram_addr, DmaSource::pi,
                   each_byte([&] { return bus_byte(bus_address++); }));
  }
  dram_addr = (rdram_end + 7) & ~7u & kDramAddrBits;
  cart_addr = (cart_addr + length + 1) & kCartAddrBits;
  busy = false;
  mips_interface.raise(RcpInterrupt::pi);
}

void PeripheralInterface::write(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kDramAddr:
      dram_addr = merge_bytes(dram_addr, value, mask) & kDramAddrBits;
      break;
    case kCartAddr:
      cart_addr = merge_bytes(cart_addr, value, mask) & kCartAddrBits;
      break;
    case kRdLen:
      if (write_completes(rd_len, value, mask)) start_dma(false, rd_len);
      break;
    case kWrLen:
      if (write_completes(wr_len, value, mask)) start_dma(true, wr_len);
      break;
    case kStatus:
      if (value & mask & kResetDma) {
        scheduler.cancel(Event::pi_dma);
        busy = false;
        error = false;
      }
      if (value & mask & kClearInterrupt) mips_interface.lower(RcpInterrupt::pi);
      break;
    default:
      poke(offset, value, mask);
      break;
  }
}

uint32_t PeripheralInterface::peek(uint32_t offset) const {
  switch (offset) {
    case kDramAddr:
      return dram_addr;
    case kCartAddr:
      return cart_addr;
    case kRdLen:
    case kWrLen:
      return kLengthReadBack;
    case kStatus:
      return (busy ? kDmaBusy : 0) | (error ? kError : 0) |
             (mips_interface.raised(RcpInterrupt::pi) ? kInterrupt : 0);
    default:
      return bus_timing[timing_index(offset)];
  }
}

bool PeripheralInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kDramAddr:
      dram_addr = merge_bytes(dram_addr, value, mask) & kDramAddrBits;
      return true;
    case kCartAddr:
      cart_addr = merge_bytes(cart_addr, value, mask) & kCartAddrBits;
      return true;
    case kRdLen:
    case kWrLen:
    case kStatus:
      return false;
    default: {
      const uint32_t index = timing_index(offset);
      bus_timing[index] = merge_bytes(bus_timing[index], value, mask) & kTimingBits[index % 4];
      return true;
    }
  }
}
