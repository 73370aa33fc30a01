#pragma once

#include <cstdint>

#include "memory/device.h"

// The RCP's interrupt lines into MI_INTERRUPT, by their bit.
enum class RcpInterrupt : uint8_t { sp = 0, si = 1, ai = 2, vi = 3, pi = 4, dp = 5 };

// Cause.IP2, where the processor sees the RCP's interrupt.
inline constexpr uint64_t kCauseRcpPending = uint64_t{1} << 10;

// The MIPS Interface (0x04300000): MI_MODE, MI_VERSION, MI_INTERRUPT and MI_MASK, where the RCP's
// six interrupt lines meet the processor. Cause.IP2 is set while a raised line is unmasked, and it
// is the one place that combined line is held: the processor samples it as it does its other
// interrupts.
class MipsInterface final : public Device {
 public:
  // Only the low four bits of an address choose a register: the four repeat through the block.
  static constexpr uint32_t kFirst = 0x04300000;
  static constexpr uint32_t kLast = 0x043FFFFF;
  static constexpr uint32_t kVersion = 0x02020102;

  enum Register : uint32_t { kMode = 0x0, kVersionRegister = 0x4, kInterrupt = 0x8, kMask = 0xC };
  // MI_MODE as read: the repeat count, repeat mode, ebus mode and upper mode.
  static constexpr uint32_t kModeBits = 0x3FF;

  void raise(RcpInterrupt line);
  void lower(RcpInterrupt line);
  bool raised(RcpInterrupt line) const;

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint64_t read_steady_until(uint32_t) const override { return kSteadyForGood; }

  // Puts Cause.IP2 as MI_INTERRUPT and MI_MASK have it.
  void update_processor() const;

  uint32_t mode = 0;
  uint32_t interrupt = 0;
  uint32_t interrupt_mask = 0;
};

// The machine's MI, which the other devices raise and lower their lines in (the machine object
// owns it: machine/object/machine.h).
extern MipsInterface& mips_interface;
