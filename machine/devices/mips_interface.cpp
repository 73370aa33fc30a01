#include "machine/devices/mips_interface.h"

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "machine/devices/register_bits.h"

namespace {

constexpr uint32_t kLines = 6;

constexpr uint32_t bit(RcpInterrupt line) {
  return 1u << static_cast<uint32_t>(line);
}

// MI_MODE's write bits: the repeat count is written as it stands; the pairs clear and set repeat
// mode, ebus mode and upper mode; one more bit lowers the DP interrupt.
constexpr uint32_t kRepeatCount = 0x7F;
constexpr uint32_t kClearDpInterrupt = 1u << 11;

uint32_t written_mode(uint32_t mode, uint32_t written, uint32_t mask) {
  if (mask & kRepeatCount) mode = (mode & ~kRepeatCount) | (written & kRepeatCount);
  mode = set_or_clear(mode, written, 1u << 7, 1u << 8, 1u << 7);
  mode = set_or_clear(mode, written, 1u << 9, 1u << 10, 1u << 8);
  return set_or_clear(mode, written, 1u << 12, 1u << 13, 1u << 9);
}

}  // namespace

void MipsInterface::raise(RcpInterrupt line) {
  interrupt |= bit(line);
  update_processor();
}

void MipsInterface::lower(RcpInterrupt line) {
  interrupt &= ~bit(line);
  update_processor();
}

bool MipsInterface::raised(RcpInterrupt line) const {
  return (interrupt & bit(line)) != 0;
}

void MipsInterface::update_processor() const {
  uint64_t& cause = cpu.cp0[r4300i::kCause];
  cause = (interrupt & interrupt_mask) != 0 ? cause | kCauseRcpPending : cause & ~kCauseRcpPending;
}

void MipsInterface::write(uint32_t offset, uint32_t value, uint32_t mask) {
  const uint32_t written = value & mask;
  switch (offset & 0xC) {
    case kMode:
      mode = written_mode(mode, written, mask);
      if (written & kClearDpInterrupt) lower(RcpInterrupt::dp);
      break;
    case kMask:
      // Each line's pair: clear at bit 2n, set at bit 2n + 1.
      for (uint32_t n = 0; n < kLines; ++n) {
        interrupt_mask =
            set_or_clear(interrupt_mask, written, 1u << 2 * n, 1u << (2 * n + 1), 1u << n);
      }
      update_processor();
      break;
    default:  // MI_VERSION and MI_INTERRUPT are only read
      break;
  }
}

uint32_t MipsInterface::peek(uint32_t offset) const {
  switch (offset & 0xC) {
    case kMode:
      return mode;
    case kVersionRegister:
      return kVersion;
    case kInterrupt:
      return interrupt;
    default:
      return interrupt_mask;
  }
}

bool MipsInterface::poke(uint32_t offset, uint32_t value, uint32_t mask) {
  const uint32_t lines = (1u << kLines) - 1;
  switch (offset & 0xC) {
    case kMode:
      mode = merge_bytes(mode, value, mask) & kModeBits;
      return true;
    case kInterrupt:
      interrupt = merge_bytes(interrupt, value, mask) & lines;
      break;
    case kMask:
      interrupt_mask = merge_bytes(interrupt_mask, value, mask) & lines;
      break;
    default:
      return false;
  }
  // Cause.IP2 is not a side effect but the same state seen from the processor.
  update_processor();
  return true;
}
