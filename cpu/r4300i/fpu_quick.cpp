#include "cpu/r4300i/fpu_quick.h"

#include <xmmintrin.h>

#include <bit>
#include <cmath>
#include <tuple>
#include <utility>

#include "cpu/r4300i/fpu_patterns.h"

namespace r4300i::fpu::quick {

namespace {

bool applies(Rounding rounding) {
  return rounding == Rounding::nearest && host_rounds_to_nearest();
}

template <typename T>
bool is_zero(Bits<T> bits) {
  return (bits & ~Traits<T>::kSign) == 0;
}

// A zero, or a normal number whose exponent field lies at least `margin` from both ends of its
// range.
template <typename T>
bool zero_or_inside(Bits<T> bits, unsigned margin) {
  if (is_zero<T>(bits)) return true;
  const unsigned field = exponent_field<T>(bits);
  return field >= margin && field + margin <= Traits<T>::kLargestExponent;
}

// A result the host computed as the FPU does: a normal number two exponents from the ends of the
// range (so that neither the overflow nor the underflow test could tell otherwise, whether it
// looks before rounding or after), or a zero that is exact. `exact_zero` tells whether the
// operation's exact result was zero.
template <typename T>
std::optional<Outcome> finished(T result, bool inexact, bool exact_zero) {
  const auto bits = std::bit_cast<Bits<T>>(result);
  if (is_zero<T>(bits) ? !exact_zero : !zero_or_inside<T>(bits, 2)) return std::nullopt;
  return Outcome{bits, inexact ? kInexact : 0u};
}

// How far from the ends of double's range the operands of its quick operations lie, so that their
// errors are normal numbers.
constexpr unsigned kErrorMargin = 64;

// a + b and whether it is inexact, by Knuth's two-sum: the rounding error comes out exactly, in
// six operations each rounded to nearest, while none overflows.
template <typename T>
std::pair<T, bool> sum(T a, T b) {
  const T s = a + b;
  const T b_part = s - a;
  const T error = (a - (s - b_part)) + (b - b_part);
  return {s, error != 0};
}

// Singles are computed in double, which holds a product of two exactly and rounds a sum, a
// quotient and a square root once more before they are rounded to single: with 53 bits against
// 24, rounding twice gives the single rounded once (Figueroa's bound, 53 >= 2 * 24 + 2).
std::optional<Outcome> single(Operation op, uint32_t a_bits, uint32_t b_bits) {
  const bool binary = op != Operation::sqrt;
  if (kind<float>(a_bits) != Kind::number || (binary && kind<float>(b_bits) != Kind::number))
    return std::nullopt;
  const double a = std::bit_cast<float>(a_bits);
  const double b = std::bit_cast<float>(b_bits);
  double wide = 0;
  bool wide_inexact = false;
  switch (op) {
    case Operation::add:
    case Operation::sub:
      std::tie(wide, wide_inexact) = sum(a, op == Operation::sub ? -b : b);
      break;
    case Operation::mul:
      wide = a * b;
      break;
    case Operation::div:
      if (b == 0) return std::nullopt;
      wide = a / b;
      break;
    case Operation::sqrt:
      if (a < 0) return std::nullopt;
      wide = std::sqrt(a);
      break;
  }
  const auto result = static_cast<float>(wide);
  const double back = result;
  // A quotient or a root is exact when multiplying back gives the operand: a product of two
  // singles is exact in double.
  bool inexact = wide_inexact || back != wide;
  if (op == Operation::div) inexact = back * b != a;
  if (op == Operation::sqrt) inexact = back * back != a;
  return finished(result, inexact, wide == 0);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define KORVEL_FPU_FMA 1
// A product's, quotient's or root's exact error in double needs a fused multiply-add, which the
// host may lack; it is used for the error only, never for a result.
[[gnu::target("fma")]] std::optional<Outcome> double_by_fma(Operation op, double a, double b) {
  // Every error below is a normal number, or zero, while the operands and results keep this
  // margin: exact, and untouched by a flush to zero.
  constexpr unsigned kMargin = 2 * kErrorMargin;
  const auto inside = [](double x) {
    return zero_or_inside<double>(std::bit_cast<uint64_t>(x), kMargin);
  };
  if (!inside(a) || (op != Operation::sqrt && !inside(b))) return std::nullopt;
  double result = 0;
  double error = 0;
  switch (op) {
    case Operation::mul:
      result = a * b;
      error = __builtin_fma(a, b, -result);
      break;
    case Operation::div:
      if (b == 0) return std::nullopt;
      result = a / b;
      error = __builtin_fma(-result, b, a);
      break;
    case Operation::sqrt:
      if (a < 0) return std::nullopt;
      result = std::sqrt(a);
      error = __builtin_fma(-result, result, a);
      break;
    default:
      return std::nullopt;
  }
  if (!inside(result)) return std::nullopt;
  return finished(result, error != 0, a == 0 || (op == Operation::mul && b == 0));
}

bool host_has_fma() {
  static const bool has = __builtin_cpu_supports("fma");
  return has;
}
#endif

std::optional<Outcome> double_precision(Operation op, uint64_t a_bits, uint64_t b_bits) {
  const auto a = std::bit_cast<double>(a_bits);
  const auto b = std::bit_cast<double>(b_bits);
  if (op == Operation::add || op == Operation::sub) {
    // Two below the largest exponent, no step of the two-sum overflows; far above the least, its
    // error is a normal number, which no flush to zero touches.
    const auto operand = [](uint64_t bits) { return zero_or_inside<double>(bits, kErrorMargin); };
    if (!operand(a_bits) || !operand(b_bits)) return std::nullopt;
    const auto [result, inexact] = sum(a, op == Operation::sub ? -b : b);
    return finished(result, inexact, result == 0 && !inexact);
  }
#ifdef KORVEL_FPU_FMA
  if (host_has_fma()) return double_by_fma(op, a, b);
#endif
  return std::nullopt;
}

}  // namespace

bool host_rounds_to_nearest() {
  double nudge = 0x1.8p-53;  // three quarters of 1's last place
  asm volatile("" : "+m"(nudge));
  return 1.0 + nudge == 1.0 + 0x1p-52 && -1.0 - nudge == -1.0 - 0x1p-52;
}

std::optional<Outcome> arithmetic(Operation op, Format fmt, uint64_t a, uint64_t b, uint32_t fcsr) {
  if (!applies(rounding_mode(fcsr))) return std::nullopt;
  if (fmt == Format::D) return double_precision(op, a, b);
  return single(op, static_cast<uint32_t>(a), static_cast<uint32_t>(b));
}

std::optional<Outcome> convert(Format from, Format to, uint64_t value, Rounding rounding) {
  if (!applies(rounding)) return std::nullopt;
  if (from == Format::S && to == Format::D) {
    const auto bits = static_cast<uint32_t>(value);
    if (kind<float>(bits) != Kind::number) return std::nullopt;
    return Outcome{std::bit_cast<uint64_t>(static_cast<double>(std::bit_cast<float>(bits))), 0};
  }
  if (from == Format::D && to == Format::S) {
    if (kind<double>(value) != Kind::number) return std::nullopt;
    const auto source = std::bit_cast<double>(value);
    const auto result = static_cast<float>(source);
    return finished(result, static_cast<double>(result) != source, source == 0);
  }
  if (from == Format::W && (to == Format::S || to == Format::D)) {
    const auto source = static_cast<int32_t>(value);
    if (to == Format::D) return Outcome{std::bit_cast<uint64_t>(static_cast<double>(source)), 0};
    const auto result = static_cast<float>(source);
    return Outcome{std::bit_cast<uint32_t>(result),
                   static_cast<double>(result) != static_cast<double>(source) ? kInexact : 0u};
  }
  return std::nullopt;
}

}  // namespace r4300i::fpu::quick
