#pragma once

#include <cstdint>
#include <optional>

#include "cpu/handler_support.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/handler_support.h"

// Loads and stores. The address is base plus the sign-extended offset; one that is not aligned to
// the access (except for the unaligned instructions) or not reachable in the processor's mode is an
// address error, one the TLB does not map (or maps to a page not valid, or for a store not dirty)
// a TLB exception, and one WatchLo watches the Watch exception, all before any byte moves. The
// bytes then go one at a time through the memory map, big-endian, as in 0.2c: an address it cannot
// serve gives that model's messages, which name the virtual address.
namespace r4300i {

// The physical address of an access at `address` aligned on `alignment` bytes, or nothing after
// its exception.
inline std::optional<uint32_t> physical_for(uint64_t address, unsigned alignment, Access access) {
  const Translation at = (address & (alignment - 1)) != 0 ? Translation{0, Fault::address_error}
                                                          : translate(address, access);
  if (at.fault != Fault::none) [[unlikely]] {
    raise_translation_fault(at.fault, address, access);
    return std::nullopt;
  }
  if (watch_matches(at.physical, access)) [[unlikely]] {
    raise(Exception::watch);
    return std::nullopt;
  }
  return at.physical;
}

// `count` bytes from `physical` on, as one big-endian number; `address` is where the program
// asked for them.
uint64_t read_bytes(uint32_t physical, uint64_t address, unsigned count);
// The low `count` bytes of `value`, big-endian, from `physical` on.
void write_bytes(uint32_t physical, unsigned count, uint64_t value);

template <unsigned bytes>
constexpr Width width_of() {
  return bytes == 8 ? Width::doubleword : Width::word;
}

// What an aligned load reads, and where from.
struct Loaded {
  uint64_t value;
  uint32_t physical;
};

// Nothing after the load's exception.
template <unsigned bytes, bool sign_extended, Width width>
std::optional<Loaded> load_value(InstrFields f) {
  if (!allowed<width>()) {
    reserved_instruction();
    return std::nullopt;
  }
  const uint64_t address = effective_address(f);
  const std::optional<uint32_t> physical = physical_for(address, bytes, Access::load);
  if (!physical) return std::nullopt;
  uint64_t value = read_bytes(*physical, address, bytes);
  if (sign_extended && bytes < 8) {
    const unsigned unused = 64 - 8 * bytes;
    value = static_cast<uint64_t>(static_cast<int64_t>(value << unused) >> unused);
  }
  return Loaded{value, *physical};
}

// Where a load puts its value and a store takes it from: rt, or for the FPU's loads and stores
// the floating-point register the rt field names.
using LoadDestination = int32_t (*)(InstrFields f, uint64_t value);
using StoreSource = uint64_t (*)(InstrFields f);

template <unsigned bytes, bool sign_extended, Width width = width_of<bytes>(),
          LoadDestination destination = write_rt>
int32_t exec_load(InstrFields f, const char*) {
  const std::optional<Loaded> loaded = load_value<bytes, sign_extended, width>(f);
  if (!loaded) return kCarriedOut;
  return destination(f, loaded->value);
}

template <unsigned bytes, Width width = width_of<bytes>(), StoreSource source = rt>
int32_t exec_store(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  const std::optional<uint32_t> physical = physical_for(effective_address(f), bytes, Access::store);
  if (!physical) return kCarriedOut;
  write_bytes(*physical, bytes, source(f));
  return advance();
}

// Which end of a word or doubleword an unaligned instruction fills: its left (LWL, LDL, SWL, SDL:
// from the address to the end of the unit, as the most significant bytes) or its right (LWR, LDR,
// SWR, SDR: from the start of the unit to the address, as the least significant bytes).
enum class Side : uint8_t { left, right };

// Of a unit of `bytes`, the ones an unaligned access of `side` at `address` moves, and where
// they stand in the register: the left part as its most significant bytes, the right part as its
// least significant.
struct UnalignedPart {
  uint64_t first;     // the lowest address moved
  uint32_t physical;  // and where it leads
  unsigned count;     // bytes
  unsigned position;  // bits below the part in the register
  uint64_t mask;      // the register bits the part covers
};

template <unsigned bytes, Side side>
inline UnalignedPart unaligned_part(uint64_t address) {
  const unsigned offset = static_cast<unsigned>(address) & (bytes - 1);
  const unsigned count = side == Side::left ? bytes - offset : offset + 1;
  const unsigned position = side == Side::left ? 8 * offset : 0;
  const uint64_t low_bytes = count == 8 ? UINT64_MAX : (uint64_t{1} << 8 * count) - 1;
  return {side == Side::left ? address : address - offset, 0, count, position,
          low_bytes << position};
}

// The part an unaligned instruction moves; nothing after its exception. The part lies in one
// aligned unit, and so in one page.
template <unsigned bytes, Side side, Access access>
std::optional<UnalignedPart> unaligned_access(InstrFields f) {
  if (!allowed<width_of<bytes>()>()) {
    reserved_instruction();
    return std::nullopt;
  }
  UnalignedPart part = unaligned_part<bytes, side>(effective_address(f));
  const std::optional<uint32_t> physical = physical_for(part.first, 1, access);
  if (!physical) return std::nullopt;
  part.physical = *physical;
  return part;
}

// LWL, LWR, LDL, LDR: the bytes merged into rt; a word is then sign-extended.
template <unsigned bytes, Side side>
int32_t exec_load_unaligned(InstrFields f, const char*) {
  const auto part = unaligned_access<bytes, side, Access::load>(f);
  if (!part) return kCarriedOut;
  const uint64_t loaded = read_bytes(part->physical, part->first, part->count);
  const uint64_t merged = (rt(f) & ~part->mask) | (loaded << part->position & part->mask);
  return write_rt(f, bytes == 8 ? merged : alu::sign_extend_32(static_cast<uint32_t>(merged)));
}

// SWL, SWR, SDL, SDR.
template <unsigned bytes, Side side>
int32_t exec_store_unaligned(InstrFields f, const char*) {
  const auto part = unaligned_access<bytes, side, Access::store>(f);
  if (!part) return kCarriedOut;
  write_bytes(part->physical, part->count, rt(f) >> part->position);
  return advance();
}

// LL and LLD: a load that sets the LLbit and keeps the physical address in LLAddr.
template <unsigned bytes>
int32_t exec_load_linked(InstrFields f, const char*) {
  const std::optional<Loaded> loaded = load_value<bytes, true, width_of<bytes>()>(f);
  if (!loaded) return kCarriedOut;
  cpu.ll_bit = 1;
  cpu.cp0[kLLAddr] = loaded->physical >> 4;
  return write_rt(f, loaded->value);
}

// SC and SCD: the store happens only while the LLbit is set, and rt tells whether it did.
template <unsigned bytes>
int32_t exec_store_conditional(InstrFields f, const char*) {
  if (!allowed<width_of<bytes>()>()) return reserved_instruction();
  const std::optional<uint32_t> physical = physical_for(effective_address(f), bytes, Access::store);
  if (!physical) return kCarriedOut;
  if (cpu.ll_bit) write_bytes(*physical, bytes, rt(f));
  return write_rt(f, cpu.ll_bit);
}

}  // namespace r4300i
