#pragma once

#include <cstdint>

// The exceptions of the complete model. Each is raised before the instruction changes anything,
// and leaves the processor at the exception vector.
namespace r4300i {

// Cause's ExcCode of each exception the model raises.
enum class Exception : uint8_t {
  interrupt = 0,
  address_error_load = 4,  // a load or an instruction fetch
  address_error_store = 5,
  syscall = 8,
  breakpoint = 9,
  reserved_instruction = 10,
  coprocessor_unusable = 11,
  overflow = 12,
  trap = 13,
  floating_point = 15,
};

// The general exception vector: in the boot ROM while Status's BEV is set, in KSEG0 otherwise.
inline constexpr uint32_t kBootExceptionVector = 0xBFC00380;
inline constexpr uint32_t kExceptionVector = 0x80000180;

// Takes the exception: unless EXL is already set, EPC becomes the address of the instruction (of
// its branch, with Cause's BD set, in a delay slot) and EXL is set; Cause gets the code (and the
// coprocessor's number), and pc the vector. Returns the interpreter's "carried out".
int32_t raise(Exception code, unsigned coprocessor = 0);

// An address error at `address`, which BadVAddr keeps.
int32_t raise_address_error(Exception code, uint64_t address);

// Whether the processor may reach `address` in its current mode: a sign-extended 32-bit address,
// in user mode below 0x80000000, in supervisor mode there or in 0xC0000000-0xDFFFFFFF.
bool address_allowed(uint64_t address);

// Whether a fetch from `address` (as pc or a pending delay slot holds it) raises an address
// error: the address is not word-aligned, or not allowed in the current mode. Such a fetch comes
// to nothing before it reaches memory.
bool fetch_faults(uint32_t address);

// Before each instruction: an enabled interrupt that is pending is taken (the timer's is set by its
// event on the scheduler, at the boundary where Count reaches Compare). True when one was taken.
bool take_pending_interrupt();

// Whether an interrupt is pending and enabled: one is taken before the next instruction.
bool interrupt_due();

// ERET: back to ErrorEPC while ERL is set (clearing it), otherwise to EPC (clearing EXL); either
// way the LLbit is cleared. No delay slot.
int32_t return_from_exception();

}  // namespace r4300i
