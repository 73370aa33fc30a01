#include "cpu/r4300i/address_translation.h"

#include "cpu/alu.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/r4300i/tlb.h"

namespace r4300i {

namespace {

constexpr Translation kAddressError{0, Fault::address_error};
// Each 64-bit address space holds 1 TB; the kernel's mapped one ends where the 32-bit segments
// begin, 2 GB below its end.
constexpr uint64_t kSpaceBytes = uint64_t{1} << 40;
constexpr uint64_t kXksegBytes = kSpaceBytes - (uint64_t{1} << 31);
// XKPHYS: bits 61..59 choose how the cache is used, the low 32 bits are the physical address and
// the bits between must be 0.
constexpr uint64_t kXkphysUnused = 0x07FFFFFF00000000;

Translation through_tlb(uint64_t address, Access access) {
  const std::optional<TlbPage> page = tlb_page(address);
  if (!page) return {0, Fault::tlb_refill};
  if (!(page->entry_lo & kEntryValid)) return {0, Fault::tlb_invalid};
  if (access == Access::store && !(page->entry_lo & kEntryDirty)) return {0, Fault::tlb_modified};
  return {page->physical(address), Fault::none};
}

bool extended_addressing(Mode mode) {
  const uint32_t bit = mode == Mode::kernel       ? kStatusKX
                       : mode == Mode::supervisor ? kStatusSX
                                                  : kStatusUX;
  return (status() & bit) != 0;
}

}  // namespace

Translation translate(uint64_t address, Access access, Mode mode) {
  const auto low = static_cast<uint32_t>(address);
  if (alu::sign_extend_32(low) == address) {
    if (low < kKseg0First) {
      if (mode == Mode::kernel && (status() & kStatusERL)) return {low, Fault::none};
      return through_tlb(address, access);
    }
    if (mode != Mode::kernel && (mode == Mode::user || low < 0xC0000000u || low >= 0xE0000000u)) {
      return kAddressError;
    }
    if (in_fixed_segment(low)) return {translate_address(low), Fault::none};
    return through_tlb(address, access);
  }
  if (!extended_addressing(mode)) return kAddressError;
  const uint64_t within = address & ~kEntryRegion;
  switch (address >> 62) {
    case 0:  // XUSEG
      return within < kSpaceBytes ? through_tlb(address, access) : kAddressError;
    case 1:  // XSSEG
      return mode != Mode::user && within < kSpaceBytes ? through_tlb(address, access)
                                                        : kAddressError;
    case 2:  // XKPHYS
      return mode == Mode::kernel && (address & kXkphysUnused) == 0 ? Translation{low, Fault::none}
                                                                    : kAddressError;
    default:  // XKSEG
      return mode == Mode::kernel && within < kXksegBytes ? through_tlb(address, access)
                                                          : kAddressError;
  }
}

int32_t raise_translation_fault(Fault fault, uint64_t address, Access access) {
  const bool store = access == Access::store;
  if (fault == Fault::address_error) {
    return raise_address_error(
        store ? Exception::address_error_store : Exception::address_error_load, address);
  }
  cpu.cp0[kBadVAddr] = address;
  // The page pair's number: bits 31..13 in Context, 39..13 and the region in XContext.
  constexpr uint64_t kContextBase = 0xFFFFFFFFFF800000;
  constexpr uint64_t kXContextBase = 0xFFFFFFFE00000000;
  cpu.cp0[kContext] = (cpu.cp0[kContext] & kContextBase) | (address >> 13 & 0x7FFFF) << 4;
  cpu.cp0[kXContext] = (cpu.cp0[kXContext] & kXContextBase) | (address >> 62) << 31 |
                       (address >> 13 & 0x7FFFFFF) << 4;
  cpu.cp0[kEntryHi] = (address & (kEntryRegion | kEntryVpn2)) | (cpu.cp0[kEntryHi] & kEntryAsid);
  Vector vector = Vector::general;
  if (fault == Fault::tlb_refill && !(status() & kStatusEXL)) {
    vector = extended_addressing(processor_mode()) ? Vector::extended_refill : Vector::refill;
  }
  const Exception code = fault == Fault::tlb_modified ? Exception::tlb_modified
                         : store                      ? Exception::tlb_store
                                                      : Exception::tlb_load;
  return raise(code, 0, vector);
}

}  // namespace r4300i
