#pragma once

#include <cstdint>

// What the instructions compute, written once: the interpreter's handlers and the decoded engine
// both call these, so the two can never disagree on a result.
namespace alu {

inline uint64_t low_half(uint64_t value) {
  return static_cast<uint32_t>(value);
}

inline uint64_t sign_extend_16(uint16_t value) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(value)));
}

inline uint64_t sign_extend_32(uint32_t value) {
  return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(value)));
}

inline int64_t as_signed(uint64_t value) {
  return static_cast<int64_t>(value);
}

// Counts of 64 and more fill every bit with the sign, as a shift of 63 does.
inline uint64_t shift_right_arithmetic(uint64_t value, unsigned count) {
  return static_cast<uint64_t>(as_signed(value) >> (count < 64 ? count : 63));
}

// ADDI and ADDIU: a 64-bit sum with the sign-extended immediate that never traps.
inline uint64_t addi(uint64_t rs, uint16_t imm) {
  return rs + sign_extend_16(imm);
}
inline uint64_t andi(uint64_t rs, uint16_t imm) {
  return rs & imm;
}
inline uint64_t ori(uint64_t rs, uint16_t imm) {
  return rs | imm;
}
// Not sign-extended: 0x8000 gives 0x0000000080000000.
inline uint64_t lui(uint16_t imm) {
  return static_cast<uint64_t>(imm) << 16;
}
inline uint64_t sll(uint64_t rt, unsigned sa) {
  return rt << sa;
}
// The variable shifts take their count from the low 8 bits of gpr[rs].
inline uint64_t sllv(uint64_t rt, uint64_t rs) {
  unsigned count = rs & 0xFF;
  return count < 64 ? rt << count : 0;
}
inline uint64_t srav(uint64_t rt, uint64_t rs) {
  return shift_right_arithmetic(rt, rs & 0xFF);
}
inline uint64_t dsra32(uint64_t rt, unsigned sa) {
  return shift_right_arithmetic(rt, sa + 32u);
}
// ADD and DADD alike.
inline uint64_t add(uint64_t rs, uint64_t rt) {
  return rs + rt;
}
// ADDU and DADDU alike: gpr[rs] contributes only its low half.
inline uint64_t addu(uint64_t rs, uint64_t rt) {
  return rt + low_half(rs);
}
inline uint64_t dsub(uint64_t rs, uint64_t rt) {
  return rs - rt;
}
inline uint64_t dsubu(uint64_t rs, uint64_t rt) {
  return low_half(rs) - rt;
}
inline uint64_t and_(uint64_t rs, uint64_t rt) {
  return rs & rt;
}
inline uint64_t or_(uint64_t rs, uint64_t rt) {
  return rs | rt;
}
inline uint64_t xor_(uint64_t rs, uint64_t rt) {
  return rs ^ rt;
}
inline uint64_t nor(uint64_t rs, uint64_t rt) {
  return ~(rs | rt);
}
inline uint64_t slt(uint64_t rs, uint64_t rt) {
  return as_signed(rs) < as_signed(rt);
}
// Compares the low halves only.
inline uint64_t sltu(uint64_t rs, uint64_t rt) {
  return low_half(rs) < low_half(rt);
}

struct Quotient {
  uint64_t lo;
  uint64_t hi;
};

// Never faults. A zero divisor leaves the dividend as the remainder and a quotient of 1 or -1
// opposite in sign to the dividend; the one quotient that does not fit (the most negative value
// divided by -1) wraps to the most negative value.
inline Quotient ddiv(uint64_t rs, uint64_t rt) {
  int64_t dividend = as_signed(rs);
  int64_t divisor = as_signed(rt);
  if (divisor == 0) return {dividend < 0 ? 1 : UINT64_MAX, rs};
  if (dividend == INT64_MIN && divisor == -1) return {rs, 0};
  return {static_cast<uint64_t>(dividend / divisor), static_cast<uint64_t>(dividend % divisor)};
}

// The offset is added zero-extended: a field of 0xFFFC adds 65532.
inline uint32_t effective_address(uint64_t rs, uint16_t imm) {
  return static_cast<uint32_t>(rs) + imm;
}

// Jumps stay in the first 256 MB: the top bits of pc are not carried over.
inline uint32_t jump_target(uint32_t target_field) {
  return target_field << 2;
}
// JAL's return address skips the word after the jump: jumps have no delay slot here.
inline uint64_t jal_link(uint32_t pc) {
  return sign_extend_32(pc + 8);
}
// A taken branch leaves pc one word short of its target: the delay slot's own advance lands there.
inline uint32_t branch_continuation(uint32_t pc, uint16_t imm) {
  return pc + static_cast<uint32_t>(sign_extend_16(imm) << 2);
}

// The loads' results from the big-endian bytes read.
inline uint64_t lb_value(uint64_t byte) {
  return static_cast<uint64_t>(static_cast<int8_t>(byte));
}
inline uint64_t lw_value(uint64_t word) {
  return sign_extend_32(static_cast<uint32_t>(word));
}

}  // namespace alu
