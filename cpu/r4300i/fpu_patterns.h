#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

// The fields of the FPU's float and double patterns, for the files that compute on them.
namespace r4300i::fpu {

// The fields of a format's patterns, and MIPS's default NaN: the largest quiet one.
template <typename T>
struct Traits {
  using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  static constexpr int kFractionBits = std::numeric_limits<T>::digits - 1;
  static constexpr Bits kSign = Bits{1} << (8 * sizeof(T) - 1);
  static constexpr Bits kFraction = (Bits{1} << kFractionBits) - 1;
  static constexpr Bits kExponent = ~kSign & ~kFraction;
  static constexpr Bits kSignalling = Bits{1} << (kFractionBits - 1);
  static constexpr Bits kSmallestNormal = kFraction + 1;
  static constexpr Bits kDefaultNan = kExponent | kFraction >> 1;
  static constexpr Bits kLargestExponent = kExponent >> kFractionBits;  // infinities' and NaNs'
};
static_assert(Traits<float>::kDefaultNan == 0x7FBFFFFF &&
              Traits<double>::kDefaultNan == 0x7FF7FFFFFFFFFFFF);

template <typename T>
using Bits = typename Traits<T>::Bits;

// The biased exponent field.
template <typename T>
constexpr unsigned exponent_field(Bits<T> bits) {
  return static_cast<unsigned>((bits & Traits<T>::kExponent) >> Traits<T>::kFractionBits);
}

// Zeros and normal numbers are numbers.
enum class Kind : uint8_t { number, infinity, subnormal, quiet_nan, signalling_nan };

template <typename T>
constexpr Kind kind(Bits<T> bits) {
  using F = Traits<T>;
  const Bits<T> exponent = bits & F::kExponent;
  const Bits<T> fraction = bits & F::kFraction;
  if (exponent == 0) return fraction == 0 ? Kind::number : Kind::subnormal;
  if (exponent != F::kExponent) return Kind::number;
  if (fraction == 0) return Kind::infinity;
  return (fraction & F::kSignalling) ? Kind::signalling_nan : Kind::quiet_nan;
}

constexpr bool is_nan(Kind k) {
  return k == Kind::quiet_nan || k == Kind::signalling_nan;
}

}  // namespace r4300i::fpu
