#include "cpu/r4300i/fpu_arithmetic.h"

#include <xmmintrin.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <type_traits>
#include <utility>

#include "cpu/r4300i/fpu_patterns.h"
#include "cpu/r4300i/fpu_quick.h"

// The host rounds each operation once, as the FPU does: its float and double operations run at
// their own precision (no x87 excess precision), this file is built without contraction into
// fused multiply-adds and with the rounding mode taken as changing (see cpu/CMakeLists.txt), and
// each operation runs in an environment of its own (HostEnvironment).
static_assert(FLT_EVAL_METHOD == 0, "float and double operations must round to their own types");

namespace r4300i::fpu {

namespace {

// The host's float and double operations are SSE's (x86-64's own), whose one control and status
// register, MXCSR, holds all that decides and records them: the rounding mode, the exception
// masks, flush-to-zero and denormals-are-zero, and the flags. It is set directly rather than
// through <cfenv>, whose environment calls differ between C libraries (MinGW's restore neither
// clears nor keeps the flags as glibc's do) and also reach the x87 unit, which no operation here
// uses.
//
// MXCSR's rounding field for each of FCSR's modes: nearest, toward zero, up, down.
constexpr unsigned kMxcsrRounding[] = {0x0000, 0x6000, 0x4000, 0x2000};
// Every exception masked, no flag raised, subnormals neither flushed nor read as zero.
constexpr unsigned kMxcsrDefault = 0x1F80;
constexpr unsigned kMxcsrInvalid = 0x01;
constexpr unsigned kMxcsrDivisionByZero = 0x04;
constexpr unsigned kMxcsrOverflow = 0x08;
constexpr unsigned kMxcsrUnderflow = 0x10;
constexpr unsigned kMxcsrInexact = 0x20;

// The host's environment for one operation: IEEE's defaults with the FPU's rounding mode and no
// flag raised. The process's own comes back at the end, flags and all, so that nothing of the
// FPU's leaks into the rest of the process, nor the other way round.
class HostEnvironment {
 public:
  explicit HostEnvironment(Rounding rounding) : saved_(_mm_getcsr()) {
    _mm_setcsr(kMxcsrDefault | kMxcsrRounding[static_cast<int>(rounding)]);
  }
  ~HostEnvironment() { _mm_setcsr(saved_); }
  HostEnvironment(const HostEnvironment&) = delete;
  HostEnvironment& operator=(const HostEnvironment&) = delete;

  uint32_t conditions() const {
    const unsigned raised = _mm_getcsr();
    return (raised & kMxcsrInexact ? kInexact : 0) | (raised & kMxcsrUnderflow ? kUnderflow : 0) |
           (raised & kMxcsrOverflow ? kOverflow : 0) |
           (raised & kMxcsrDivisionByZero ? kDivisionByZero : 0) |
           (raised & kMxcsrInvalid ? kInvalid : 0);
  }

 private:
  const unsigned saved_;
};

// Keeps the compiler from moving an operation across the environment's changes: the value counts
// as changed here, in memory that the calls around it may read.
template <typename T>
void fence(T& value) {
  asm volatile("" : "+m"(value) : : "memory");
}

// What an arithmetic operand raises before anything is computed.
uint32_t operand_conditions(Kind k) {
  if (k == Kind::subnormal || k == Kind::quiet_nan) return kUnimplemented;
  return k == Kind::signalling_nan ? kInvalid : 0;
}

// The outcome of operands that raised `conditions`, when they did.
template <typename T>
Outcome refused(uint32_t conditions) {
  if (conditions & kUnimplemented) return {0, kUnimplemented};
  return {Traits<T>::kDefaultNan, kInvalid};
}

// A result that underflowed: flushed to zero (or to the smallest normal number, where the
// rounding goes away from zero) when FS is set and neither underflow nor inexact is enabled;
// unimplemented otherwise.
template <typename T>
Outcome flushed(Bits<T> result, Rounding rounding, uint32_t fcsr) {
  using F = Traits<T>;
  const uint32_t enables = fcsr >> kEnablesShift;
  if (!(fcsr & kFlushSubnormals) || (enables & (kUnderflow | kInexact))) return {0, kUnimplemented};
  const bool negative = (result & F::kSign) != 0;
  const bool away = negative ? rounding == Rounding::down : rounding == Rounding::up;
  return {Bits<T>{negative ? F::kSign : 0} | (away ? F::kSmallestNormal : 0),
          kUnderflow | kInexact};
}

// A host result and what the host raised making it, as the FPU gives it.
template <typename T>
Outcome finished(T result, uint32_t raised, Rounding rounding, uint32_t fcsr) {
  const auto bits = std::bit_cast<Bits<T>>(result);
  if (raised & kInvalid) return {Traits<T>::kDefaultNan, kInvalid};
  if ((raised & kUnderflow) || kind<T>(bits) == Kind::subnormal)
    return flushed<T>(bits, rounding, fcsr);
  return {bits, raised};
}

template <typename T>
Outcome arithmetic_in(Operation op, Bits<T> a_bits, Bits<T> b_bits, uint32_t fcsr) {
  const uint32_t refusals = operand_conditions(kind<T>(a_bits)) |
                            (op == Operation::sqrt ? 0 : operand_conditions(kind<T>(b_bits)));
  if (refusals) return refused<T>(refusals);
  const Rounding rounding = rounding_mode(fcsr);
  T a = std::bit_cast<T>(a_bits);
  T b = std::bit_cast<T>(b_bits);
  T result;
  uint32_t raised;
  {
    HostEnvironment host(rounding);
    fence(a);
    fence(b);
    switch (op) {
      case Operation::add:
        result = a + b;
        break;
      case Operation::sub:
        result = a - b;
        break;
      case Operation::mul:
        result = a * b;
        break;
      case Operation::div:
        result = a / b;
        break;
      case Operation::sqrt:
        result = std::sqrt(a);
        break;
    }
    fence(result);
    raised = host.conditions();
  }
  return finished(result, raised, rounding, fcsr);
}

template <typename T>
Outcome sign_in(bool negate, Bits<T> a) {
  if (const uint32_t refusals = operand_conditions(kind<T>(a))) return refused<T>(refusals);
  return {negate ? a ^ Traits<T>::kSign : a & ~Traits<T>::kSign, 0};
}

// `source` as a `To`, rounded by the host as `rounding` says, with the conditions it raised.
template <typename To, typename From>
std::pair<To, uint32_t> converted_on_host(From source, Rounding rounding) {
  HostEnvironment host(rounding);
  fence(source);
  To result = static_cast<To>(source);
  fence(result);
  return {result, host.conditions()};
}

template <typename From, typename To>
Outcome between_floats(Bits<From> value, Rounding rounding, uint32_t fcsr) {
  if (const uint32_t refusals = operand_conditions(kind<From>(value))) return refused<To>(refusals);
  const auto [result, raised] = converted_on_host<To>(std::bit_cast<From>(value), rounding);
  return finished(result, raised, rounding, fcsr);
}

// The VR4300 converts to a long only what lies within 2^53 of zero, and from a long only what
// lies within 2^55; beyond, and for a word beyond its range, the operation is unimplemented.
constexpr double kLongLimit = 0x1p53;
constexpr int64_t kLongSourceLimit = int64_t{1} << 55;

// `source` rounded to an integer: but for the nearest, whose ties go to the even one in the host's
// default mode, the rounding functions depend on no mode.
double integral(double source, Rounding rounding) {
  switch (rounding) {
    case Rounding::nearest:
      return std::nearbyint(source);
    case Rounding::toward_zero:
      return std::trunc(source);
    case Rounding::up:
      return std::ceil(source);
    case Rounding::down:
      break;
  }
  return std::floor(source);
}

// To W or L: a NaN, an infinity or a value out of range has no integer the VR4300 can give.
template <typename From, typename Integer>
Outcome to_integer(Bits<From> value, Rounding rounding) {
  if (kind<From>(value) != Kind::number) return {0, kUnimplemented};
  double source = static_cast<double>(std::bit_cast<From>(value));  // exact
  double rounded;
  if (rounding == Rounding::nearest && !quick::host_rounds_to_nearest()) {
    HostEnvironment host(rounding);
    fence(source);
    rounded = std::nearbyint(source);
    fence(rounded);
  } else {
    rounded = integral(source, rounding);
  }
  const bool in_range = std::is_same_v<Integer, int32_t>
                            ? rounded >= -0x1p31 && rounded < 0x1p31
                            : rounded > -kLongLimit && rounded < kLongLimit;
  if (!in_range) return {0, kUnimplemented};
  const auto integer = static_cast<std::make_unsigned_t<Integer>>(static_cast<Integer>(rounded));
  return {integer, rounded != source ? kInexact : 0u};
}

template <typename Integer, typename To>
Outcome from_integer(uint64_t value, Rounding rounding) {
  const auto source = static_cast<Integer>(value);
  if (std::is_same_v<Integer, int64_t> &&
      (source < -kLongSourceLimit || source >= kLongSourceLimit))
    return {0, kUnimplemented};
  const auto [result, raised] = converted_on_host<To>(source, rounding);
  return {std::bit_cast<Bits<To>>(result), raised};
}

template <typename From>
Outcome from_float(Format to, uint64_t value, Rounding rounding, uint32_t fcsr) {
  const auto bits = static_cast<Bits<From>>(value);
  switch (to) {
    case Format::S:
      return between_floats<From, float>(bits, rounding, fcsr);
    case Format::D:
      return between_floats<From, double>(bits, rounding, fcsr);
    case Format::W:
      return to_integer<From, int32_t>(bits, rounding);
    case Format::L:
      return to_integer<From, int64_t>(bits, rounding);
  }
  return {0, kUnimplemented};
}

template <typename T>
Comparison compare_in(unsigned condition, Bits<T> a_bits, Bits<T> b_bits) {
  const Kind a_kind = kind<T>(a_bits);
  const Kind b_kind = kind<T>(b_bits);
  const bool unordered = is_nan(a_kind) || is_nan(b_kind);
  const bool signals_unordered = (condition & 8) != 0;
  const bool invalid = a_kind == Kind::signalling_nan || b_kind == Kind::signalling_nan ||
                       a_kind == Kind::subnormal || b_kind == Kind::subnormal ||
                       (signals_unordered && unordered);
  bool less = false;
  bool equal = false;
  if (!unordered) {
    T a = std::bit_cast<T>(a_bits);
    T b = std::bit_cast<T>(b_bits);
    if (a_kind != Kind::subnormal && b_kind != Kind::subnormal) {
      // Comparing numbers depends on no mode: only a host that reads subnormals as zero would
      // compare those differently.
      less = a < b;
      equal = a == b;
    } else {
      HostEnvironment host(Rounding::nearest);
      fence(a);
      fence(b);
      less = a < b;
      equal = a == b;
      fence(less);
      fence(equal);
    }
  }
  const bool holds =
      ((condition & 1) && unordered) || ((condition & 2) && equal) || ((condition & 4) && less);
  return {holds, invalid ? kInvalid : 0};
}

}  // namespace

Outcome arithmetic(Operation op, Format fmt, uint64_t a, uint64_t b, uint32_t fcsr) {
  if (const auto outcome = quick::arithmetic(op, fmt, a, b, fcsr)) return *outcome;
  if (fmt == Format::D) return arithmetic_in<double>(op, a, b, fcsr);
  return arithmetic_in<float>(op, static_cast<uint32_t>(a), static_cast<uint32_t>(b), fcsr);
}

Outcome sign_operation(bool negate, Format fmt, uint64_t a) {
  if (fmt == Format::D) return sign_in<double>(negate, a);
  return sign_in<float>(negate, static_cast<uint32_t>(a));
}

Outcome convert(Format from, Format to, uint64_t value, Rounding rounding, uint32_t fcsr) {
  if (const auto outcome = quick::convert(from, to, value, rounding)) return *outcome;
  switch (from) {
    case Format::S:
      return from_float<float>(to, value, rounding, fcsr);
    case Format::D:
      return from_float<double>(to, value, rounding, fcsr);
    case Format::W:
      return to == Format::S ? from_integer<int32_t, float>(value, rounding)
                             : from_integer<int32_t, double>(value, rounding);
    case Format::L:
      return to == Format::S ? from_integer<int64_t, float>(value, rounding)
                             : from_integer<int64_t, double>(value, rounding);
  }
  return {0, kUnimplemented};
}

Comparison compare(Format fmt, unsigned condition, uint64_t a, uint64_t b) {
  if (fmt == Format::D) return compare_in<double>(condition, a, b);
  return compare_in<float>(condition, static_cast<uint32_t>(a), static_cast<uint32_t>(b));
}

}  // namespace r4300i::fpu
