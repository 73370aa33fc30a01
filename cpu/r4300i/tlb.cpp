#include "cpu/r4300i/tlb.h"

namespace r4300i {

namespace {

constexpr uint64_t kLastEntry = kTlbEntries - 1;

// The first entry whose pair of pages holds the virtual page number of `address` (a virtual
// address, or EntryHi for TLBP) in the address space `asid`, or -1. The entry's PageMask leaves
// the bits within its pages out of the comparison.
int find_entry(uint64_t address, uint64_t asid) {
  for (int i = 0; i < kTlbEntries; ++i) {
    const TlbEntry& entry = cpu.tlb[i];
    const uint64_t compared = kEntryRegion | (kEntryVpn2 & ~entry.page_mask);
    if (((entry.entry_hi ^ address) & compared) != 0) continue;
    if ((entry.entry_lo[0] & kEntryGlobal) || ((entry.entry_hi ^ asid) & kEntryAsid) == 0) {
      return i;
    }
  }
  return -1;
}

void write_entry(uint64_t index) {
  const uint64_t global = cpu.cp0[kEntryLo0] & cpu.cp0[kEntryLo1] & kEntryGlobal;
  TlbEntry& entry = cpu.tlb[index & kLastEntry];
  entry.page_mask = cpu.cp0[kPageMask];
  entry.entry_hi = cpu.cp0[kEntryHi];
  entry.entry_lo[0] = (cpu.cp0[kEntryLo0] & ~kEntryGlobal) | global;
  entry.entry_lo[1] = (cpu.cp0[kEntryLo1] & ~kEntryGlobal) | global;
}

}  // namespace

std::optional<TlbPage> tlb_page(uint64_t address) {
  const int index = find_entry(address, cpu.cp0[kEntryHi]);
  if (index < 0) return std::nullopt;
  const TlbEntry& entry = cpu.tlb[index];
  const uint32_t offset_mask = static_cast<uint32_t>(entry.page_mask >> 1) | 0xFFF;
  const bool odd = (address & (uint64_t{offset_mask} + 1)) != 0;
  return TlbPage{entry.entry_lo[odd ? 1 : 0], offset_mask};
}

void read_tlb_entry() {
  const TlbEntry& entry = cpu.tlb[cpu.cp0[kIndex] & kLastEntry];
  cpu.cp0[kPageMask] = entry.page_mask;
  cpu.cp0[kEntryHi] = entry.entry_hi;
  cpu.cp0[kEntryLo0] = entry.entry_lo[0];
  cpu.cp0[kEntryLo1] = entry.entry_lo[1];
}

void write_indexed_tlb_entry() {
  write_entry(cpu.cp0[kIndex]);
}

void write_random_tlb_entry() {
  write_entry(random_register());
}

void probe_tlb() {
  const int index = find_entry(cpu.cp0[kEntryHi], cpu.cp0[kEntryHi]);
  cpu.cp0[kIndex] = index < 0 ? cpu.cp0[kIndex] | kIndexProbeFailed : static_cast<uint64_t>(index);
}

}  // namespace r4300i
