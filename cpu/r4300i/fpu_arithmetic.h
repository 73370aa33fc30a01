#pragma once

#include <cstdint>

#include "cpu/r4300i/fpu_values.h"

// What the complete model's FPU computes, on raw register patterns: each operation's result and
// the conditions it raises, as the VR4300 has them. Singles and words are the low 32 bits of a
// pattern. The VR4300 takes no subnormal and no quiet NaN as an operand (an unimplemented
// operation, for the exception handler to finish in software), never makes a subnormal (it
// flushes one to zero when FCSR's FS bit allows, and leaves it unimplemented otherwise), and gives
// its one default NaN for every invalid operation. Its NaNs are MIPS's: a set top fraction bit
// signals.
namespace r4300i::fpu {

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
