#pragma once

#include <cstdint>

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

// Where `address` leads for an access in `mode`, without side effects.
Translation translate(uint64_t address, Access access, Mode mode);

inline Translation translate(uint64_t address, Access access) {
  return translate(address, access, processor_mode());
}

// A fetch from `address`, as pc or a pending delay slot holds it: an address error too when it is
// not word-aligned.
Translation translate_fetch(uint32_t address);

// Takes the exception of `fault` for an access to `address`. An address error keeps the address in
// BadVAddr. A TLB exception keeps it in BadVAddr too, its page's number in Context, XContext and
// EntryHi (whose ASID stays), and a refill while EXL is clear goes to the refill vector of the
// mode's address space, 32-bit or 64-bit. Returns the interpreter's "carried out".
int32_t raise_translation_fault(Fault fault, uint64_t address, Access access);

// Whether WatchLo asks for the Watch exception on this load or store at `physical`: its doubleword
// is the watched one. While EXL or ERL is set the access goes ahead, and nothing is kept of it.
bool watch_matches(uint32_t physical, Access access);

// Whether WatchLo watches loads or stores at all.
inline bool watch_armed() {
  return (cpu.cp0[kWatchLo] & (kWatchRead | kWatchWrite)) != 0;
}

// KSEG0 and KSEG1, whose translation is fixed: the addresses the fast engines reach directly.
constexpr bool in_fixed_segment(uint32_t address) {
  return address - kKseg0First < 2 * kSegmentBytes;
}

}  // namespace r4300i
