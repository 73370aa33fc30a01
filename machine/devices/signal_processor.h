#pragma once

#include <cstdint>

#include "memory/device.h"

// The signal processor's registers as the processor sees them (0x04040000, and SP_PC at
// 0x04080000): DMA between RDRAM and the SP memories, SP_STATUS, the semaphore and SP_PC.
//
// A DMA moves rows of SP_xx_LEN's length (rounded up to 8 bytes), as many as its count, from
// SP_MEM_ADDR on in one SP memory, wrapping within its 4 KB, and from SP_DRAM_ADDR on in RDRAM,
// skipping SP_xx_LEN's skip bytes there after each row. One more DMA may wait behind the one
// under way (SP_DMA_FULL). It takes the time libdragon's boot code measures (2.5 ms a MB); its
// bytes move when it ends (Event::sp_dma).
//
// The RSP itself does not run. A write that clears HALT starts it as if the first instruction it
// met were BREAK: it halts again at once with BROKE set, and raises the SP interrupt when
// interrupt-on-break is set. SP_PC keeps what was written.
class SignalProcessor final : public Device {
 public:
  static constexpr uint32_t kRegistersFirst = 0x04040000;
  static constexpr uint32_t kRegisterBytes = 0x20;
  static constexpr uint32_t kPcFirst = 0x04080000;
  static constexpr uint32_t kPcBytes = 8;
  static constexpr uint32_t kPcOffset = 0x20;  // SP_PC's place in the device, after the registers

  enum Register : uint32_t {
    kMemAddr = 0x00,
    kDramAddr = 0x04,
    kRdLen = 0x08,
    kWrLen = 0x0C,
    kStatus = 0x10,
    kDmaFull = 0x14,
    kDmaBusy = 0x18,
    kSemaphore = 0x1C,
    kPc = kPcOffset,
    kIbist = kPcOffset + 4,
  };
  // SP_STATUS as read.
  static constexpr uint32_t kHalted = 1u << 0;
  static constexpr uint32_t kBroke = 1u << 1;
  static constexpr uint32_t kStatusDmaBusy = 1u << 2;
  static constexpr uint32_t kStatusDmaFull = 1u << 3;
  static constexpr uint32_t kInterruptOnBreak = 1u << 6;

  // One DMA: its registers as they were when it was started.
  struct Transfer {
    uint32_t mem_addr;
    uint32_t dram_addr;
    uint32_t length;  // SP_xx_LEN
    bool to_rdram;    // SP_WR_LEN's (SP memory to RDRAM)
  };

  void map_into(DeviceMap& map);
  // The end of the DMA under way: Event::sp_dma.
  void dma_ended();
  static uint64_t dma_cycles(uint32_t length_register);

  uint32_t read(uint32_t offset, uint32_t mask) override;
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  // Only the semaphore changes as it is read.
  uint64_t read_steady_until(uint32_t offset) const override {
    return offset == kSemaphore ? 0 : kSteadyForGood;
  }

  uint32_t mem_addr = 0;
  uint32_t dram_addr = 0;
  uint32_t rd_len = 0;
  uint32_t wr_len = 0;
  uint32_t status = kHalted;  // all but the DMA bits
  uint32_t semaphore = 0;
  uint32_t pc = 0;
  Transfer transfers[2] = {};  // the one under way, then the one waiting
  uint32_t transfer_count = 0;

 private:
  void start_dma(bool to_rdram, uint32_t length_register);
  void write_status(uint32_t written);
  void start_transfer();
};
