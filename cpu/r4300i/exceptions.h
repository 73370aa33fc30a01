#pragma once

#include <cstdint>

#include "cpu/r4300i/cop0.h"

// The exceptions of the complete model. Each is raised before the instruction changes anything,
// and leaves the processor at the exception vector.
namespace r4300i {

// Cause's ExcCode of each exception the model raises.
enum class Exception : uint8_t {
  interrupt = 0,
  tlb_modified = 1,
  tlb_load = 2,  // a refill or an invalid entry, for a load or an instruction fetch
  tlb_store = 3,
  address_error_load = 4,  // a load or an instruction fetch
  address_error_store = 5,
  syscall = 8,
  breakpoint = 9,
  reserved_instruction = 10,
  coprocessor_unusable = 11,
  overflow = 12,
  trap = 13,
  floating_point = 15,
  watch = 23,
};

// The exception vectors stand at offsets from a base: in the boot ROM while Status's BEV is set, in
// KSEG0 otherwise. A TLB refill taken while EXL is clear has vectors of its own, one for the 32-bit
// address spaces and one for the 64-bit ones; every other exception takes the general vector.
inline constexpr uint32_t kBootExceptionBase = 0xBFC00200;
inline constexpr uint32_t kExceptionBase = 0x80000000;
enum class Vector : uint32_t { refill = 0x000, extended_refill = 0x080, general = 0x180 };
inline constexpr uint32_t kBootExceptionVector = kBootExceptionBase + 0x180;
inline constexpr uint32_t kExceptionVector = kExceptionBase + 0x180;

// Takes the exception: unless EXL is already set, EPC becomes the address of the instruction (of
// its branch, with Cause's BD set, in a delay slot) and EXL is set; Cause gets the code (and the
// coprocessor's number), and pc the vector. Returns the interpreter's "carried out".
int32_t raise(Exception code, unsigned coprocessor = 0, Vector vector = Vector::general);

// An address error at `address`, which BadVAddr keeps.
int32_t raise_address_error(Exception code, uint64_t address);

// Whether an interrupt is pending and enabled: one is taken before the next instruction. Inline,
// as it is asked before every instruction.
inline bool interrupt_due() {
  const uint32_t s = status();
  if ((s & (kStatusIE | kStatusEXL | kStatusERL)) != kStatusIE) return false;
  return (s & cpu.cp0[kCause] & kCauseInterruptPending) != 0;
}

// Before each instruction: an enabled interrupt that is pending is taken (the timer's is set by its
// event on the scheduler, at the boundary where Count reaches Compare). True when one was taken.
inline bool take_pending_interrupt() {
  if (!interrupt_due()) [[likely]]
    return false;
  raise(Exception::interrupt);
  return true;
}

// ERET: back to ErrorEPC while ERL is set (clearing it), otherwise to EPC (clearing EXL); either
// way the LLbit is cleared. No delay slot.
int32_t return_from_exception();

}  // namespace r4300i
