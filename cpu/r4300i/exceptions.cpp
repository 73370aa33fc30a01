#include "cpu/r4300i/exceptions.h"

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/r4300i/cop0.h"

namespace r4300i {

int32_t raise(Exception code, unsigned coprocessor) {
  uint64_t cause = cpu.cp0[kCause];
  if (!(status() & kStatusEXL)) {
    // In a delay slot the fetch has not yet consumed the hand-over: the branch stands one word
    // before the slot.
    const bool in_delay_slot = cpu.delay_slot_pending != 0;
    const uint32_t address = in_delay_slot ? cpu.delay_slot_pc - 4 : cpu.pc;
    cpu.cp0[kEpc] = alu::sign_extend_32(address);
    cause = in_delay_slot ? cause | kCauseBD : cause & ~uint64_t{kCauseBD};
    cpu.cp0[kStatus] |= kStatusEXL;
  }
  cause &= ~uint64_t{kCauseExcCode | kCauseCoprocessor};
  cause |= static_cast<uint32_t>(code) << 2 | (coprocessor & 3u) << 28;
  cpu.cp0[kCause] = cause;
  cpu.pc = (status() & kStatusBEV) ? kBootExceptionVector : kExceptionVector;
  return kCarriedOut;
}

int32_t raise_address_error(Exception code, uint64_t address) {
  cpu.cp0[kBadVAddr] = address;
  return raise(code);
}

bool address_allowed(uint64_t address) {
  if (alu::sign_extend_32(static_cast<uint32_t>(address)) != address) return false;
  if (kernel_mode()) return true;
  const uint32_t low = static_cast<uint32_t>(address);
  if (low < 0x80000000u) return true;
  const bool supervisor = (status() & kStatusKSU) == kStatusSupervisor;
  return supervisor && low >= 0xC0000000u && low <= 0xDFFFFFFFu;
}

bool fetch_faults(uint32_t address) {
  return (address & 3) != 0 || !address_allowed(alu::sign_extend_32(address));
}

bool take_pending_interrupt() {
  if (!interrupt_due()) return false;
  raise(Exception::interrupt);
  return true;
}

bool interrupt_due() {
  const uint32_t s = status();
  if ((s & (kStatusIE | kStatusEXL | kStatusERL)) != kStatusIE) return false;
  return (s & cpu.cp0[kCause] & kCauseInterruptPending) != 0;
}

int32_t return_from_exception() {
  if (status() & kStatusERL) {
    cpu.pc = static_cast<uint32_t>(cpu.cp0[kErrorEpc]);
    cpu.cp0[kStatus] &= ~uint64_t{kStatusERL};
  } else {
    cpu.pc = static_cast<uint32_t>(cpu.cp0[kEpc]);
    cpu.cp0[kStatus] &= ~uint64_t{kStatusEXL};
  }
  cpu.ll_bit = 0;
  return kCarriedOut;
}

}  // namespace r4300i
