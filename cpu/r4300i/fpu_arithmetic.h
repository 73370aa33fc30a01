#pragma once

#include <cstdint>

// What the complete model's FPU computes, on raw register patterns: each operation's result and
// the conditions it raises, as the VR4300 has them. Singles and words are the low 32 bits of a
// pattern. The VR4300 takes no subnormal and no quiet NaN as an operand (an unimplemented
// operation, for the exception handler to finish in software), never makes a subnormal (it
// flushes one to zero when FCSR's FS bit allows, and leaves it unimplemented otherwise), and gives
// its one default NaN for every invalid operation. Its NaNs are MIPS's: a set top fraction bit
// signals.
namespace r4300i::fpu {

// The formats of the fmt field.
enum class Format : uint8_t { S, D, W, L };

inline constexpr bool is_wide(Format fmt) {
  return fmt == Format::D || fmt == Format::L;
}

// The conditions, in the order of FCSR's flag, enable and cause fields; only the cause field has
// the unimplemented operation, which no enable masks.
inline constexpr uint32_t kInexact = 1;
inline constexpr uint32_t kUnderflow = 2;
inline constexpr uint32_t kOverflow = 4;
inline constexpr uint32_t kDivisionByZero = 8;
inline constexpr uint32_t kInvalid = 16;
inline constexpr uint32_t kUnimplemented = 32;

// FCSR (FCR31).
inline constexpr uint32_t kRoundingModeBits = 3;
inline constexpr unsigned kFlagsShift = 2;
inline constexpr unsigned kEnablesShift = 7;
inline constexpr unsigned kCauseShift = 12;
inline constexpr uint32_t kCauseBits = 0x3Fu << kCauseShift;
inline constexpr uint32_t kConditionBit = 1u << 23;
inline constexpr uint32_t kFlushSubnormals = 1u << 24;  // FS
inline constexpr uint32_t kFcsrWritable = 0x0183FFFF;   // FS, C, cause, enables, flags, RM

// FCSR's rounding modes, by their values in its RM field.
enum class Rounding : uint8_t { nearest, toward_zero, up, down };

inline Rounding rounding_mode(uint32_t fcsr) {
  return static_cast<Rounding>(fcsr & kRoundingModeBits);
}

// A result pattern and the conditions that came with it; an unimplemented operation has none.
struct Outcome {
  uint64_t bits;
  uint32_t conditions;
};

enum class Operation : uint8_t { add, sub, mul, div, sqrt };

// ADD, SUB, MUL, DIV and SQRT (which takes `a` alone) in S or D, rounded as FCSR says.
Outcome arithmetic(Operation op, Format fmt, uint64_t a, uint64_t b, uint32_t fcsr);

// ABS or NEG in S or D: arithmetic for its operand's checks, exact otherwise.
Outcome sign_operation(bool negate, Format fmt, uint64_t a);

// CVT between any two formats that are not both integers, and ROUND, TRUNC, CEIL and FLOOR (CVT
// to W or L with their fixed rounding). FCSR gives the FS bit and the enables.
Outcome convert(Format from, Format to, uint64_t value, Rounding rounding, uint32_t fcsr);

// C.cond in S or D: whether the condition (the low four bits of the function) holds for `a`
// against `b`, and whether the comparison was invalid.
struct Comparison {
  bool holds;
  uint32_t conditions;
};
Comparison compare(Format fmt, unsigned condition, uint64_t a, uint64_t b);

}  // namespace r4300i::fpu
