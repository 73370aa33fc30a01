#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"

// Coprocessor 0 of the complete model: register numbers, the bits of Status and Cause, and the
// processor modes they give.
namespace r4300i {

enum Cop0Register : uint8_t {
  kIndex = 0,
  kRandom = 1,
  kEntryLo0 = 2,
  kEntryLo1 = 3,
  kContext = 4,
  kPageMask = 5,
  kWired = 6,
  kBadVAddr = 8,
  kCount = 9,
  kEntryHi = 10,
  kCompare = 11,
  kStatus = 12,
  kCause = 13,
  kEpc = 14,
  kPrId = 15,
  kConfig = 16,
  kLLAddr = 17,
  kWatchLo = 18,
  kWatchHi = 19,
  kXContext = 20,
  kErrorEpc = 30,
};

// The VR4300's implementation number 0x0B, revision 2.2; its FPU reads as implementation 0x0B,
// revision 0.
inline constexpr uint64_t kProcessorId = 0x0B22;
inline constexpr uint32_t kFpuImplementation = 0x0B00;

// Status.
inline constexpr uint32_t kStatusIE = 1u << 0;
inline constexpr uint32_t kStatusEXL = 1u << 1;
inline constexpr uint32_t kStatusERL = 1u << 2;
inline constexpr uint32_t kStatusKSU = 3u << 3;
inline constexpr uint32_t kStatusSupervisor = 1u << 3;
inline constexpr uint32_t kStatusUser = 2u << 3;
inline constexpr uint32_t kStatusUX = 1u << 5;
inline constexpr uint32_t kStatusSX = 1u << 6;
inline constexpr uint32_t kStatusKX = 1u << 7;
inline constexpr uint32_t kStatusBEV = 1u << 22;
inline constexpr uint32_t kStatusFR = 1u << 26;  // 32 floating-point registers rather than 16
inline constexpr uint32_t kStatusCU0 = 1u << 28;
inline constexpr uint32_t kStatusCU1 = 1u << 29;

// WatchLo: the physical address's bits 31..3 and whether loads (R) or stores (W) there raise
// the Watch exception; WatchHi holds bits 35..32, which the processor's 32-bit physical
// addresses never have.
inline constexpr uint64_t kWatchAddress = 0xFFFFFFF8;
inline constexpr uint64_t kWatchRead = 1u << 1;
inline constexpr uint64_t kWatchWrite = 1u << 0;

// EntryLo's fields.
inline constexpr uint64_t kEntryGlobal = 1u << 0;
inline constexpr uint64_t kEntryValid = 1u << 1;
inline constexpr uint64_t kEntryDirty = 1u << 2;
inline constexpr uint64_t kEntryFrame = 0x3FFFFFC0;  // PFN: the frame's address from bit 12 on
// EntryHi's fields, which stand where they stand in a virtual address: the region R (user,
// supervisor or kernel), the number VPN2 of the pair of pages, and the address space's ASID.
inline constexpr uint64_t kEntryRegion = 0xC000000000000000;
inline constexpr uint64_t kEntryVpn2 = 0x000000FFFFFFE000;
inline constexpr uint64_t kEntryAsid = 0xFF;
// Index's P: the last TLBP found no entry.
inline constexpr uint64_t kIndexProbeFailed = 0x80000000;

// Cause.
inline constexpr uint32_t kCauseExcCode = 0x1Fu << 2;
inline constexpr uint32_t kCauseInterruptPending = 0xFFu << 8;  // IP7..IP0; IM7..IM0 in Status
inline constexpr uint32_t kCauseTimerPending = 1u << 15;        // IP7
inline constexpr uint32_t kCauseCoprocessor = 3u << 28;         // CE
inline constexpr uint32_t kCauseBD = 1u << 31;

inline uint32_t status() {
  return static_cast<uint32_t>(cpu.cp0[kStatus]);
}

// Kernel mode: KSU 0 (the usual case, so looked at first), or EXL or ERL set.
inline bool kernel_mode() {
  uint32_t s = status();
  return (s & kStatusKSU) == 0 || (s & (kStatusEXL | kStatusERL)) != 0;
}

// Coprocessor 0's instructions run in kernel mode, elsewhere only with CU0 set.
inline bool cop0_usable() {
  return kernel_mode() || (status() & kStatusCU0) != 0;
}

// The doubleword operations run in kernel mode, in supervisor mode with SX and in user mode with
// UX; elsewhere they are reserved instructions.
inline bool doubleword_operations_enabled() {
  if (kernel_mode()) return true;
  uint32_t s = status();
  return (s & kStatusKSU) == kStatusSupervisor ? (s & kStatusSX) != 0 : (s & kStatusUX) != 0;
}

// What MFC0 and DMFC0 read, without side effects (a debugger reads the same): Random is worked out
// from the instruction clock, every other register is read as it stands.
uint64_t read_cop0(unsigned reg);

// A write of MTC0 or DMTC0, which changes only the register's writable bits, with its side effects:
// Count's moves are kept for the history, a write of Compare clears the timer interrupt, one of
// Wired puts Random back to the top.
void write_cop0(unsigned reg, uint64_t value);

// Random as the instruction at the clock's present value reads it. It counts down by one with every
// instruction and goes from Wired back to 31, as a 6-bit counter that is reloaded where it meets
// Wired: with Wired above 31 it passes through 0 and 63 on its way down to Wired.
uint32_t random_register();

// Random holds `value` for the instruction at clock `at`, and counts down from there.
void restart_random(uint64_t value, uint64_t at);

// Where an instruction's change to Count or Compare stands before the timer looks again.
enum class TimerLook : uint8_t {
  next_boundary,     // between instructions: Count is the one the next instruction runs with
  after_instruction  // inside one: Count moves on once more before the next boundary
};

// Puts the timer's event on the scheduler where Count next reaches Compare (never for the 0.2c
// model): after an instruction's write of either, and wherever a run or a step begins, since a
// debugger, a reset or a restored snapshot may have changed them while nothing ran.
void retime_timer(TimerLook look = TimerLook::next_boundary);

// The timer's event: Count has reached Compare, so the timer's interrupt is pending; it comes round
// again once Count has gone all the way round.
void timer_reached();

}  // namespace r4300i

// What the processor model holds from reset on besides the boot values: the complete model's
// identity in PRId and its FPU's in FCR0, Random counting down from the boot value, and a TLB whose
// entries match no address.
void set_model_reset_registers();
