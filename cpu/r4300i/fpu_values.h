#pragma once

#include <cstdint>

// The FPU's formats, the conditions it raises, FCSR's fields and an operation's outcome, for each
// way of computing one.
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

}  // namespace r4300i::fpu
