#pragma once

#include <cstdint>
#include <optional>

#include "cpu/alu.h"

// What the complete model's instructions compute. A 32-bit operation works on the low halves of
// its operands and sign-extends its 32-bit result; the architecture leaves its result open for
// operands that are not sign-extended, and these take their low halves. An operation that can
// overflow gives nothing when it does: the instruction then traps.
namespace r4300i::alu {

using ::alu::sign_extend_16;
using ::alu::sign_extend_32;

inline uint32_t low(uint64_t value) {
  return static_cast<uint32_t>(value);
}

using Comparison = bool (*)(uint64_t rs, uint64_t rt);

// The comparisons of the branches and traps: rs against rt (or the immediate), or rs against 0.
inline bool equal(uint64_t a, uint64_t b) {
  return a == b;
}
inline bool not_equal(uint64_t a, uint64_t b) {
  return a != b;
}
inline bool less(uint64_t a, uint64_t b) {
  return static_cast<int64_t>(a) < static_cast<int64_t>(b);
}
inline bool less_unsigned(uint64_t a, uint64_t b) {
  return a < b;
}
inline bool at_least(uint64_t a, uint64_t b) {
  return !less(a, b);
}
inline bool at_least_unsigned(uint64_t a, uint64_t b) {
  return a >= b;
}
inline bool at_most_zero(uint64_t a, uint64_t) {
  return static_cast<int64_t>(a) <= 0;
}
inline bool above_zero(uint64_t a, uint64_t) {
  return static_cast<int64_t>(a) > 0;
}
inline bool below_zero(uint64_t a, uint64_t) {
  return static_cast<int64_t>(a) < 0;
}
inline bool at_least_zero(uint64_t a, uint64_t) {
  return static_cast<int64_t>(a) >= 0;
}

inline std::optional<uint64_t> add32(uint64_t a, uint64_t b) {
  int32_t sum;
  if (__builtin_add_overflow(static_cast<int32_t>(a), static_cast<int32_t>(b), &sum))
    return std::nullopt;
  return sign_extend_32(static_cast<uint32_t>(sum));
}
inline std::optional<uint64_t> sub32(uint64_t a, uint64_t b) {
  int32_t difference;
  if (__builtin_sub_overflow(static_cast<int32_t>(a), static_cast<int32_t>(b), &difference))
    return std::nullopt;
  return sign_extend_32(static_cast<uint32_t>(difference));
}
inline std::optional<uint64_t> add64(uint64_t a, uint64_t b) {
  int64_t sum;
  if (__builtin_add_overflow(static_cast<int64_t>(a), static_cast<int64_t>(b), &sum))
    return std::nullopt;
  return static_cast<uint64_t>(sum);
}
inline std::optional<uint64_t> sub64(uint64_t a, uint64_t b) {
  int64_t difference;
  if (__builtin_sub_overflow(static_cast<int64_t>(a), static_cast<int64_t>(b), &difference))
    return std::nullopt;
  return static_cast<uint64_t>(difference);
}

inline uint64_t addu32(uint64_t a, uint64_t b) {
  return sign_extend_32(low(a) + low(b));
}
inline uint64_t subu32(uint64_t a, uint64_t b) {
  return sign_extend_32(low(a) - low(b));
}

// LUI sign-extends: 0x8000 gives 0xFFFFFFFF80000000.
inline uint64_t lui(uint16_t imm) {
  return sign_extend_32(static_cast<uint32_t>(imm) << 16);
}

inline uint64_t slt(uint64_t a, uint64_t b) {
  return less(a, b);
}
inline uint64_t sltu(uint64_t a, uint64_t b) {
  return less_unsigned(a, b);
}

// The shifts take their variable counts from the low 5 (words) or 6 (doublewords) bits of rs.
inline uint64_t sll(uint64_t rt, unsigned sa) {
  return sign_extend_32(low(rt) << (sa & 31));
}
inline uint64_t srl(uint64_t rt, unsigned sa) {
  return sign_extend_32(low(rt) >> (sa & 31));
}
inline uint64_t sra(uint64_t rt, unsigned sa) {
  return sign_extend_32(static_cast<uint32_t>(static_cast<int32_t>(low(rt)) >> (sa & 31)));
}
inline uint64_t dsll(uint64_t rt, unsigned sa) {
  return rt << (sa & 63);
}
inline uint64_t dsrl(uint64_t rt, unsigned sa) {
  return rt >> (sa & 63);
}
inline uint64_t dsra(uint64_t rt, unsigned sa) {
  return static_cast<uint64_t>(static_cast<int64_t>(rt) >> (sa & 63));
}

struct HiLo {
  uint64_t hi;
  uint64_t lo;
};

// The 32-bit products and quotients leave their halves sign-extended in HI and LO.
inline HiLo mult(uint64_t a, uint64_t b) {
  int64_t product = int64_t{static_cast<int32_t>(a)} * static_cast<int32_t>(b);
  return {sign_extend_32(static_cast<uint32_t>(product >> 32)),
          sign_extend_32(static_cast<uint32_t>(product))};
}
inline HiLo multu(uint64_t a, uint64_t b) {
  uint64_t product = uint64_t{low(a)} * low(b);
  return {sign_extend_32(static_cast<uint32_t>(product >> 32)),
          sign_extend_32(static_cast<uint32_t>(product))};
}
inline HiLo dmult(uint64_t a, uint64_t b) {
  __int128 product = static_cast<__int128>(static_cast<int64_t>(a)) * static_cast<int64_t>(b);
  return {static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
}
inline HiLo dmultu(uint64_t a, uint64_t b) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return {static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
}

// The divides never fault. A zero divisor leaves the dividend as the remainder and a quotient of
// all ones (unsigned) or of 1 or -1 opposite in sign to the dividend, as the divider's steps leave
// them; the most negative dividend divided by -1 gives itself and 0.
inline HiLo div(uint64_t a, uint64_t b) {
  int32_t dividend = static_cast<int32_t>(a);
  int32_t divisor = static_cast<int32_t>(b);
  if (divisor == 0) return {sign_extend_32(low(a)), dividend < 0 ? 1 : UINT64_MAX};
  if (dividend == INT32_MIN && divisor == -1) return {0, sign_extend_32(low(a))};
  return {sign_extend_32(static_cast<uint32_t>(dividend % divisor)),
          sign_extend_32(static_cast<uint32_t>(dividend / divisor))};
}
inline HiLo divu(uint64_t a, uint64_t b) {
  uint32_t dividend = low(a);
  uint32_t divisor = low(b);
  if (divisor == 0) return {sign_extend_32(dividend), UINT64_MAX};
  return {sign_extend_32(dividend % divisor), sign_extend_32(dividend / divisor)};
}
inline HiLo ddiv(uint64_t a, uint64_t b) {
  ::alu::Quotient q = ::alu::ddiv(a, b);
  return {q.hi, q.lo};
}
inline HiLo ddivu(uint64_t a, uint64_t b) {
  if (b == 0) return {a, UINT64_MAX};
  return {a % b, a / b};
}

// Where a branch at `pc` goes when taken: the delay slot's address plus the word offset.
inline uint32_t branch_target(uint32_t pc, uint16_t imm) {
  return pc + 4 + static_cast<uint32_t>(sign_extend_16(imm) << 2);
}
// J and JAL stay in the 256 MB region of their delay slot.
inline uint32_t jump_target(uint32_t pc, uint32_t target_field) {
  return ((pc + 4) & 0xF0000000u) | target_field << 2;
}
// The link of JAL, JALR and the branches that link: past the delay slot.
inline uint64_t link(uint32_t pc) {
  return sign_extend_32(pc + 8);
}

}  // namespace r4300i::alu
