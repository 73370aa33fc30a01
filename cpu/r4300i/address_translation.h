#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/r4300i/cop0.h"
#include "memory/memory_map.h"

// How the complete model turns the virtual address of a fetch, a load or a store into a physical
// one: by the segment holding it, which the processor's mode may reach or not, and through the TLB
// in the mapped segments. In 32-bit mode an address is a sign-extended 32-bit one: KUSEG (below
// 0x80000000) is mapped, or while ERL is set unmapped onto the physical addresses below 2 GB;
// KSEG0 and KSEG1 show the first 512 MB of physical addresses; KSSEG and KSEG3 are mapped. The
// 64-bit address spaces hold 1 TB each for the user (XUSEG), the supervisor (XSSEG) and the kernel
// (XKSEG, mapped; XKPHYS, unmapped), and are reached in the modes whose UX, SX or KX is set.
namespace r4300i {

enum class Access : uint8_t { fetch, load, store };

// What stops an access before it reaches memory.
enum class Fault : uint8_t {
  none,
  address_error,  // no segment holds the address, or the mode cannot reach it
  tlb_refill,     // no TLB entry maps it
  tlb_invalid,    // its entry marks its page not valid
  tlb_modified,   // a store into a page its entry does not mark dirty (writable)
};

struct Translation {
  uint32_t physical;
  Fault fault;
};

enum class Mode : uint8_t { kernel, supervisor, user };

inline Mode processor_mode() {
  if (kernel_mode()) return Mode::kernel;
  return (status() & kStatusKSU) == kStatusSupervisor ? Mode::supervisor : Mode::user;
}

// KSEG0 and KSEG1, whose translation is fixed: the addresses the fast engines reach directly, as
// pc holds them and as sign-extended 64-bit addresses.
constexpr bool in_fixed_segment(uint32_t address) {
  return address - kKseg0First < 2 * kSegmentBytes;
}
constexpr bool in_fixed_segment_64(uint64_t address) {
  return address - (0xFFFFFFFF00000000 | kKseg0First) < 2 * kSegmentBytes;
}

// Where `address` leads for an access in `mode`, without side effects.
Translation translate(uint64_t address, Access access, Mode mode);

// The same in the processor's mode, KSEG0 and KSEG1 in kernel mode first, which is where nearly
// every access goes.
inline Translation translate(uint64_t address, Access access) {
  if (in_fixed_segment_64(address) && kernel_mode()) [[likely]] {
    return {static_cast<uint32_t>(address) & (kSegmentBytes - 1), Fault::none};
  }
  return translate(address, access, processor_mode());
}

// A fetch from `address`, as pc or a pending delay slot holds it: an address error too when it is
// not word-aligned.
inline Translation translate_fetch(uint32_t address) {
  if ((address & 3) != 0) return {0, Fault::address_error};
  if (in_fixed_segment(address) && kernel_mode()) [[likely]] {
    return {address & (kSegmentBytes - 1), Fault::none};
  }
  return translate(alu::sign_extend_32(address), Access::fetch, processor_mode());
}

// Takes the exception of `fault` for an access to `address`. An address error keeps the address in
// BadVAddr. A TLB exception keeps it in BadVAddr too, its page's number in Context, XContext and
// EntryHi (whose ASID stays), and a refill while EXL is clear goes to the refill vector of the
// mode's address space, 32-bit or 64-bit. Returns the interpreter's "carried out".
int32_t raise_translation_fault(Fault fault, uint64_t address, Access access);

// Whether WatchLo asks for the Watch exception on this load or store at `physical`: its doubleword
// is the watched one. While EXL or ERL is set the access goes ahead, and nothing is kept of it.
inline bool watch_matches(uint32_t physical, Access access) {
  const uint64_t watch = cpu.cp0[kWatchLo];
  if (!(watch & (access == Access::store ? kWatchWrite : kWatchRead))) [[likely]] {
    return false;
  }
  if (status() & (kStatusEXL | kStatusERL)) return false;
  return (cpu.cp0[kWatchHi] & 0xF) == 0 && ((watch ^ physical) & kWatchAddress) == 0;
}

// Whether WatchLo watches loads or stores at all.
inline bool watch_armed() {
  return (cpu.cp0[kWatchLo] & (kWatchRead | kWatchWrite)) != 0;
}

}  // namespace r4300i
