#include "cpu/r4300i/exceptions.h"

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/r4300i/cop0.h"

namespace r4300i {

int32_t raise(Exception code, unsigned coprocessor, Vector vector) {
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
  const uint32_t base = (status() & kStatusBEV) ? kBootExceptionBase : kExceptionBase;
  cpu.pc = base + static_cast<uint32_t>(vector);
  return kCarriedOut;
}

int32_t raise_address_error(Exception code, uint64_t address) {
  cpu.cp0[kBadVAddr] = address;
  return raise(code);
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
