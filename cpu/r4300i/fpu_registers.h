#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/fpu_arithmetic.h"

// The FPU's registers as the complete model's instructions see them. With Status's FR set there
// are 32 registers of 64 bits. With it clear the registers are the 16 even ones: a 32-bit access
// of an odd register reaches the high half of the even one below it, so that a pair holds a
// double as two words, and a 64-bit access of an odd register (which the manual leaves undefined)
// reaches the even one. A 32-bit write leaves the register's other half as it was.
namespace r4300i::fpu {

// The FPU's instructions run only while Status's CU1 is set, in every mode.
inline bool usable() {
  return (status() & kStatusCU1) != 0;
}

inline bool full_registers() {
  return (status() & kStatusFR) != 0;
}

inline uint32_t read32(unsigned n) {
  if (full_registers()) return static_cast<uint32_t>(cpu.fpr[n].bits);
  return static_cast<uint32_t>(cpu.fpr[n & ~1u].bits >> 32 * (n & 1));
}

inline void write32(unsigned n, uint32_t value) {
  const bool full = full_registers();
  const unsigned shift = full ? 0 : 32 * (n & 1);
  uint64_t& bits = cpu.fpr[full ? n : n & ~1u].bits;
  bits = (bits & ~(uint64_t{0xFFFFFFFF} << shift)) | uint64_t{value} << shift;
}

inline uint64_t read64(unsigned n) {
  return cpu.fpr[full_registers() ? n : n & ~1u].bits;
}

inline void write64(unsigned n, uint64_t value) {
  cpu.fpr[full_registers() ? n : n & ~1u].bits = value;
}

// A register holding a value of `fmt`: 64 bits for D and L, 32 for S and W.
inline uint64_t read(Format fmt, unsigned n) {
  return is_wide(fmt) ? read64(n) : read32(n);
}

inline void write(Format fmt, unsigned n, uint64_t value) {
  if (is_wide(fmt)) {
    write64(n, value);
  } else {
    write32(n, static_cast<uint32_t>(value));
  }
}

// A register as a debugger names it, as the instructions see it: with FR clear an odd register is
// the 32 bits of the even one's high half, which is how gdb finds a double's two words in a pair.
inline uint64_t debugger_view(unsigned n) {
  return full_registers() || n % 2 == 0 ? cpu.fpr[n].bits : read32(n);
}

inline void set_from_debugger(unsigned n, uint64_t value) {
  if (full_registers() || n % 2 == 0) {
    cpu.fpr[n].bits = value;
  } else {
    write32(n, static_cast<uint32_t>(value));
  }
}

// The FPU's control registers by CFC1's and CTC1's number: FCR0 and FCR31; the others read as 0.
inline uint32_t control_register(unsigned n) {
  if (n == 0) return cpu.fcr0;
  return n == 31 ? cpu.fcr31 : 0;
}

}  // namespace r4300i::fpu
