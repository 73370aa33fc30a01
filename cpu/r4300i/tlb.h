#pragma once

#include <cstdint>
#include <optional>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"

// The complete model's TLB: 32 entries, each mapping an even and an odd page of one size, from
// 4 KB to 16 MB, to their frames, for one address space (ASID) or for all (G). TLBR, TLBWI, TLBWR
// and TLBP move entries between it and PageMask, EntryHi and EntryLo0/1. Nothing keeps copies of
// what it maps: every access looks through the entries, so a write to one holds from the next
// access on.
namespace r4300i {

// The page of a virtual address that an entry maps.
struct TlbPage {
  uint64_t entry_lo;     // its frame, with D and V
  uint32_t offset_mask;  // the address's bits within the page

  // The processor's physical addresses have 32 bits: a frame's higher ones are dropped.
  uint32_t physical(uint64_t address) const {
    const uint64_t frame = (entry_lo & kEntryFrame) << 6;
    return static_cast<uint32_t>((frame & ~uint64_t{offset_mask}) | (address & offset_mask));
  }
};

// The page mapping `address` in EntryHi's address space; nothing when no entry matches (a TLB
// refill).
std::optional<TlbPage> tlb_page(uint64_t address);

// TLBR, TLBWI, TLBWR and TLBP. An index beyond the 32 entries wraps round them.
void read_tlb_entry();
void write_indexed_tlb_entry();
void write_random_tlb_entry();
void probe_tlb();

}  // namespace r4300i
