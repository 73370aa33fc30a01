#include "cpu/r4300i/cop0.h"

#include "cpu/scheduler.h"

namespace r4300i {

namespace {

// By register number. Random, BadVAddr, PRId and CacheErr are read-only, as are the reserved
// numbers; Cause takes only its two software interrupts.
constexpr uint64_t kWritableBits[32] = {
    0x3F,                // Index
    0,                   // Random
    0x3FFFFFFF,          // EntryLo0
    0x3FFFFFFF,          // EntryLo1
    0xFFFFFFFFFF800000,  // Context: PTEBase
    0x01FFE000,          // PageMask
    0x3F,                // Wired
    0,                   // 7
    0,                   // BadVAddr
    0xFFFFFFFF,          // Count
    0xC00000FFFFFFE0FF,  // EntryHi: R, VPN2, ASID
    0xFFFFFFFF,          // Compare
    0xFF57FFFF,          // Status: all but TS and the reserved bits
    0x300,               // Cause: IP1 and IP0
    UINT64_MAX,          // EPC
    0,                   // PRId
    0x0F00800F,          // Config: EP, BE, CU, K0
    0xFFFFFFFF,          // LLAddr
    0xFFFFFFFB,          // WatchLo: PAddr0, R, W
    0xF,                 // WatchHi: PAddr1
    0xFFFFFFFE00000000,  // XContext: PTEBase
    0,
    0,
    0,
    0,
    0,           // 21-25
    0xFF,        // PErr: Diagnostic
    0,           // CacheErr
    0x0FFFFFC0,  // TagLo: PTagLo, PState
    0,           // TagHi
    UINT64_MAX,  // ErrorEPC
    0,           // 31
};

// Entries that match no address: each names a page of KSEG0, which is never looked up.
void clear_tlb() {
  constexpr uint64_t kKseg0 = 0xFFFFFFFF80000000 & (kEntryRegion | kEntryVpn2);
  for (int i = 0; i < kTlbEntries; ++i) {
    cpu.tlb[i] = TlbEntry{0, kKseg0 + (static_cast<uint64_t>(i) << 13), {0, 0}};
  }
}

}  // namespace

uint64_t read_cop0(unsigned reg) {
  reg &= 31;
  return reg == kRandom ? random_register() : cpu.cp0[reg];
}

void write_cop0(unsigned reg, uint64_t value) {
  reg &= 31;
  const uint64_t mask = kWritableBits[reg];
  const uint64_t written = (cpu.cp0[reg] & ~mask) | (value & mask);
  if (reg == kCompare) cpu.cp0[kCause] &= ~uint64_t{kCauseTimerPending};
  // From the next instruction on.
  if (reg == kWired) restart_random(31, scheduler.now + 1);
  cpu.cp0[reg] = written;
  if (reg == kCount || reg == kCompare) retime_timer(TimerLook::after_instruction);
}

uint32_t random_register() {
  const uint64_t start = cpu.cp0[kRandom] & 63;
  const uint64_t wired = cpu.cp0[kWired] & 63;
  const uint64_t steps = scheduler.now > cpu.random_since ? scheduler.now - cpu.random_since : 0;
  // Down to Wired first, then round and round from 31.
  const uint64_t to_wired = (start - wired) & 63;
  if (steps <= to_wired) return static_cast<uint32_t>((start - steps) & 63);
  const uint64_t period = ((31 - wired) & 63) + 1;
  return static_cast<uint32_t>((31 - (steps - to_wired - 1) % period) & 63);
}

void restart_random(uint64_t value, uint64_t at) {
  cpu.cp0[kRandom] = value & 63;
  cpu.random_since = at;
}

void retime_timer(TimerLook look) {
  if (cpu.model != CpuModel::r4300i) {
    scheduler.cancel(Event::timer);
    return;
  }
  const uint64_t moves = look == TimerLook::after_instruction ? 1 : 0;
  const uint64_t from = scheduler.now + moves;
  const auto count =
      static_cast<uint32_t>(cpu.cp0[kCount] + scheduler.count_ticks(scheduler.now, moves));
  const auto until_compare = static_cast<uint32_t>(cpu.cp0[kCompare]) - count;
  scheduler.schedule(Event::timer, from + scheduler.cycles_for_ticks(from, until_compare));
}

void timer_reached() {
  cpu.cp0[kCause] |= kCauseTimerPending;
  scheduler.schedule(Event::timer,
                     scheduler.now + scheduler.cycles_for_ticks(scheduler.now, uint64_t{1} << 32));
}

}  // namespace r4300i

void set_model_reset_registers() {
  if (cpu.model != CpuModel::r4300i) return;
  cpu.cp0[r4300i::kPrId] = r4300i::kProcessorId;
  cpu.fcr0 = r4300i::kFpuImplementation;
  r4300i::restart_random(cpu.cp0[r4300i::kRandom], scheduler.now);
  r4300i::clear_tlb();
}
