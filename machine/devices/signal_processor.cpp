#include "machine/devices/signal_processor.h"

#include "cpu/scheduler.h"
#include "machine/devices/clocks.h"
#include "machine/devices/mips_interface.h"
#include "machine/devices/register_bits.h"
#include "memory/dma.h"

namespace {

constexpr uint32_t kMemAddrBits = 0x1FF8;  // bit 12 chooses IMEM
constexpr uint32_t kDramAddrBits = 0xFFFFF8;
constexpr uint32_t kPcBits = 0xFFC;
// Read back once a DMA has ended: the length field at 0xFF8, the count at 0, the skip as it was.
constexpr uint32_t kEndedLength = 0xFF8;
constexpr uint32_t kSkipBits = 0xFFF00000;

// SP_STATUS as written: the pairs that clear and set a bit read back, and the interrupt's.
constexpr uint32_t kClearHalt = 1u << 0;
constexpr uint32_t kSetHalt = 1u << 1;
constexpr uint32_t kClearBroke = 1u << 2;
constexpr uint32_t kClearInterrupt = 1u << 3;
constexpr uint32_t kSetInterrupt = 1u << 4;
constexpr uint32_t kSingleStep = 1u << 5;
constexpr uint32_t kFirstSignal = 7;
constexpr uint32_t kSignals = 8;

struct Rows {
  uint32_t length;  // bytes a row
  uint32_t count;
  uint32_t skip;
};

Rows rows(uint32_t length_register) {
  return {((length_register & 0xFFF) | 7) + 1, ((length_register >> 12) & 0xFF) + 1,
          (length_register >> 20) & 0xFF8};
}

}  // namespace

void SignalProcessor::map_into(DeviceMap& map) {
  map.add({kRegistersFirst, kRegistersFirst + kRegisterBytes - 1, this, 0});
  map.add({kPcFirst, kPcFirst + kPcBytes - 1, this, kPcOffset});
}

uint64_t SignalProcessor::dma_cycles(uint32_t length_register) {
  // libdragon's boot code clears RDRAM with SP DMA at about 2.5 ms a MB.
  constexpr uint64_t kCyclesPerMegabyte = kProcessorHz * 25 / 10000;
  const Rows r = rows(length_register);
  const uint64_t bytes = uint64_t{r.length} * r.count;
  return (bytes * kCyclesPerMegabyte + (1u << 20) - 1) >> 20;
}

void SignalProcessor::start_transfer() {
  scheduler.schedule(Event::sp_dma, scheduler.now + dma_cycles(transfers[0].length));
}

void SignalProcessor::start_dma(bool to_rdram, uint32_t length_register) {
  if (transfer_count == 2) return;
  transfers[transfer_count++] = {mem_addr, dram_addr, length_register, to_rdram};
  if (transfer_count == 1) start_transfer();
}

void SignalProcessor::dma_ended() {
  if (transfer_count == 0) return;
  const Transfer t = transfers[0];
  const Rows r = rows(t.length);
  uint32_t mem = t.mem_addr;
  uint32_t dram = t.dram_addr;
  for (uint32_t row = 0; row < r.count; ++row) {
    uint32_t i = 0;
    if (t.to_rdram) {
      dma_fill_rdram(dram, r.length, DmaSource::sp, [&](uint8_t* to, uint32_t count) {
        dma_read_sp_memory(mem, i, to, count);
        i += count;
      });
    } else {
      dma_fill_sp_memory(mem, r.length, [&](uint8_t* to, uint32_t count) {
        dma_read_rdram(dram + i, to, count);
        i += count;
      });
    }
    mem = (sp_memory_physical(mem, r.length) - kSpDmemFirst) & kMemAddrBits;
    dram = (dram + r.length + r.skip) & kDramAddrBits;
  }
  mem_addr = mem;
  dram_addr = dram;
  (t.to_rdram ? wr_len : rd_len) = (t.length & kSkipBits) | kEndedLength;
  transfers[0] = transfers[1];
  if (--transfer_count != 0) start_transfer();
}

void SignalProcessor::write_status(uint32_t written) {
  status = set_or_clear(status, written, kClearHalt, kSetHalt, kHalted);
  if (written & kClearBroke) status &= ~kBroke;
  status = set_or_clear(status, written, 1u << 5, 1u << 6, kSingleStep);
  status = set_or_clear(status, written, 1u << 7, 1u << 8, kInterruptOnBreak);
  for (uint32_t n = 0; n < kSignals; ++n) {
    status = set_or_clear(status, written, 1u << (9 + 2 * n), 1u << (10 + 2 * n),
                          1u << (kFirstSignal + n));
  }
  const bool clearing = written & kClearInterrupt, setting = written & kSetInterrupt;
  if (setting && !clearing) mips_interface.raise(RcpInterrupt::sp);
  if (clearing && !setting) mips_interface.lower(RcpInterrupt::sp);
  if (!(status & kHalted)) {
    // Started, the RSP breaks at once (see the header).
    status |= kHalted | kBroke;
    if (status & kInterruptOnBreak) mips_interface.raise(RcpInterrupt::sp);
  }
}

uint32_t SignalProcessor::read(uint32_t offset, uint32_t mask) {
  const uint32_t value = peek(offset);
  // Reading the semaphore takes it: the word's last byte sees it as it was.
  if (offset == kSemaphore && completes(mask)) semaphore = 1;
  return value;
}

void SignalProcessor::write(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kRdLen:
      if (write_completes(rd_len, value, mask)) start_dma(false, rd_len);
      break;
    case kWrLen:
      if (write_completes(wr_len, value, mask)) start_dma(true, wr_len);
      break;
    case kStatus:
      write_status(value & mask);
      break;
    case kSemaphore:
      semaphore = 0;
      break;
    default:
      poke(offset, value, mask);
      break;
  }
}

uint32_t SignalProcessor::peek(uint32_t offset) const {
  switch (offset) {
    case kMemAddr:
      return mem_addr;
    case kDramAddr:
      return dram_addr;
    case kRdLen:
      return rd_len;
    case kWrLen:
      return wr_len;
    case kStatus:
      return status | (transfer_count > 0 ? kStatusDmaBusy : 0) |
             (transfer_count > 1 ? kStatusDmaFull : 0);
    case kDmaFull:
      return transfer_count > 1 ? 1 : 0;
    case kDmaBusy:
      return transfer_count > 0 ? 1 : 0;
    case kSemaphore:
      return semaphore;
    case kPc:
      return pc;
    default:
      return 0;
  }
}

bool SignalProcessor::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  switch (offset) {
    case kMemAddr:
      mem_addr = merge_bytes(mem_addr, value, mask) & kMemAddrBits;
      return true;
    case kDramAddr:
      dram_addr = merge_bytes(dram_addr, value, mask) & kDramAddrBits;
      return true;
    case kSemaphore:
      semaphore = merge_bytes(semaphore, value, mask) & 1;
      return true;
    case kPc:
      pc = merge_bytes(pc, value, mask) & kPcBits;
      return true;
    default:
      return false;
  }
}
