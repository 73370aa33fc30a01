#pragma once

#include <cstdint>

// gdb's numbers for the MIPS registers: the order of the `g` packet, and the numbers of `p`, `P`
// and the target description.
inline constexpr int kGdbStatus = 32;  // CP0 12
inline constexpr int kGdbLo = 33;
inline constexpr int kGdbHi = 34;
inline constexpr int kGdbBadVaddr = 35;  // CP0 8
inline constexpr int kGdbCause = 36;     // CP0 13
inline constexpr int kGdbPc = 37;
inline constexpr int kGdbF0 = 38;
inline constexpr int kGdbFcsr = 70;
inline constexpr int kGdbFir = 71;
inline constexpr int kGdbRegisterCount = 72;

// A register as gdb sees it (`number` below kGdbRegisterCount). pc is the address the next
// instruction is fetched from, so a stop before a delay slot shows the slot, sign-extended to 64
// bits as the processor's 32-bit values are. f0-f31 are the raw patterns the registers hold; fcsr
// is FCR31 and fir FCR0 (both 0 in the 0.2c model, which has no FPU control registers).
uint64_t read_gdb_register(int number);

// Changes a register as gdb asks. Writing pc with the value it reads changes nothing, so that a
// `G` of the registers just read leaves a pending delay slot alone; any other pc cancels the slot.
// fir is read-only, and so is fcsr in the 0.2c model.
void write_gdb_register(int number, uint64_t value);
