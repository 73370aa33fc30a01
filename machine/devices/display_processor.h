#pragma once

#include <array>
#include <cstdint>

#include "memory/device.h"

// The display processor's command registers (0x04100000) and span registers (0x04200000).
//
// The RDP does not draw: a command list given by DPC_START and DPC_END is taken in full at once,
// so DPC_CURRENT reaches DPC_END as it is written and the command buffer always reads ready. No
// command is looked at, so the RDP never raises the DP interrupt (MI_MODE still lowers it).
class DisplayProcessor final : public Device {
 public:
  static constexpr uint32_t kCommandFirst = 0x04100000;
  static constexpr uint32_t kCommandBytes = 0x20;
  static constexpr uint32_t kSpanFirst = 0x04200000;
  static constexpr uint32_t kSpanBytes = 0x10;
  static constexpr uint32_t kSpanOffset = 0x20;  // the span registers' place in the device

  enum Register : uint32_t {
    kStart = 0x00,
    kEnd = 0x04,
    kCurrent = 0x08,
    kStatus = 0x0C,
    kClock = 0x10,  // then BUFBUSY, PIPEBUSY and TMEM, all counters, which stay at 0
  };
  // DPC_STATUS as read: the three bits written in pairs, then what the RDP shows.
  static constexpr uint32_t kXbus = 1u << 0;
  static constexpr uint32_t kFreeze = 1u << 1;
  static constexpr uint32_t kFlush = 1u << 2;
  static constexpr uint32_t kCommandBufferReady = 1u << 7;
  static constexpr uint32_t kStartValid = 1u << 10;

  void map_into(DeviceMap& map);

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;

  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t current = 0;
  uint32_t status = 0;             // the pairs' bits and START_VALID
  std::array<uint32_t, 4> span{};  // DPS_TBIST, DPS_TEST_MODE, DPS_BUFTEST_ADDR, DPS_BUFTEST_DATA
};
