// The FPU's quick way (cpu/r4300i/fpu_quick.cpp) against its host environment's way, which the
// qemu differential test checks: on random operands built to round, cancel, come out exact and
// come near the ends of each format's range, every outcome the quick way gives is the other's.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdint>
#include <random>

#include "cpu/r4300i/fpu_arithmetic.h"
#include "cpu/r4300i/fpu_quick.h"

namespace {

using namespace r4300i::fpu;

constexpr unsigned kMxcsrRoundingBits = 0x6000;

// The environment's outcome: a host that does not round to nearest makes the quick way decline.
template <typename Compute>
Outcome by_environment(Compute compute) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(saved | kMxcsrRoundingBits);  // toward zero
  const Outcome outcome = compute();
  _mm_setcsr(saved);
  return outcome;
}

class Operands {
 public:
  // A pattern of `fmt`: mostly normal numbers with few or many fraction bits set and exponents
  // in the middle or near either end, and some zeros, subnormals, infinities and NaNs.
  uint64_t any(Format fmt) {
    const bool wide = fmt == Format::D;
    const unsigned fraction_bits = wide ? 52 : 23;
    const uint64_t largest = wide ? 0x7FF : 0xFF;
    const uint64_t sign = pick(2) << (wide ? 63 : 31);
    uint64_t exponent = 0;
    switch (pick(8)) {
      case 0:
        exponent = pick(4);  // zeros and subnormals, or the least normals
        break;
      case 1:
        exponent = largest - pick(4);  // infinities and NaNs, or the largest normals
        break;
      default:
        exponent = largest / 2 + pick(60) - 30;
    }
    uint64_t fraction = random_() & ((uint64_t{1} << fraction_bits) - 1);
    if (pick(2)) fraction &= ~uint64_t{0} << (fraction_bits - pick(fraction_bits));  // few bits
    return sign | exponent << fraction_bits | fraction;
  }

  // A second operand: another, or the first changed a little, so that they cancel or round.
  uint64_t beside(Format fmt, uint64_t first) {
    const uint64_t sign = uint64_t{1} << (fmt == Format::D ? 63 : 31);
    switch (pick(4)) {
      case 0:
        return first ^ (pick(2) ? sign : 0);
      case 1:
        return (first ^ (pick(2) ? sign : 0)) + pick(5) - 2;
      default:
        return any(fmt);
    }
  }

  uint64_t pick(uint64_t count) { return random_() % count; }
  uint64_t raw() { return random_(); }

 private:
  std::mt19937_64 random_{20261210};
};

TEST(FpuQuick, EveryOutcomeItGivesIsTheEnvironments) {
  Operands operands;
  constexpr int kRounds = 40000;
  for (const Format fmt : {Format::S, Format::D}) {
    for (const Operation op :
         {Operation::add, Operation::sub, Operation::mul, Operation::div, Operation::sqrt}) {
      int given = 0;
      for (int n = 0; n < kRounds; ++n) {
        const uint64_t a = operands.any(fmt);
        const uint64_t b = operands.beside(fmt, a);
        const auto quick = quick::arithmetic(op, fmt, a, b, 0);
        if (!quick) continue;
        ++given;
        const Outcome expected = by_environment([&] { return arithmetic(op, fmt, a, b, 0); });
        ASSERT_EQ(quick->bits, expected.bits) << std::hex << a << " " << b;
        ASSERT_EQ(quick->conditions, expected.conditions) << std::hex << a << " " << b;
      }
      // Most operands are normal numbers away from the ends (half of the roots' negative): the
      // quick way takes those.
      EXPECT_GT(given, kRounds / 3) << static_cast<int>(fmt) << " " << static_cast<int>(op);
    }
  }
  for (const auto& conversion :
       {std::pair{Format::S, Format::D}, std::pair{Format::D, Format::S},
        std::pair{Format::W, Format::S}, std::pair{Format::W, Format::D}}) {
    const Format from = conversion.first, to = conversion.second;
    int given = 0;
    for (int n = 0; n < kRounds; ++n) {
      const uint64_t value =
          from == Format::W ? operands.raw() >> operands.pick(40) : operands.any(from);
      const auto quick = quick::convert(from, to, value, Rounding::nearest);
      if (!quick) continue;
      ++given;
      const Outcome expected =
          by_environment([&] { return convert(from, to, value, Rounding::nearest, 0); });
      ASSERT_EQ(quick->bits, expected.bits) << std::hex << value;
      ASSERT_EQ(quick->conditions, expected.conditions) << std::hex << value;
    }
    EXPECT_GT(given, kRounds / 2);
  }
}

TEST(FpuQuick, TakesNoOtherModeThanRoundingToNearest) {
  EXPECT_TRUE(quick::host_rounds_to_nearest());
  const unsigned saved = _mm_getcsr();
  for (const unsigned mode : {0x2000u, 0x4000u, 0x6000u}) {
    _mm_setcsr((saved & ~kMxcsrRoundingBits) | mode);
    EXPECT_FALSE(quick::host_rounds_to_nearest()) << mode;
    EXPECT_FALSE(quick::arithmetic(Operation::add, Format::S, 0x3F800000, 0x3F800000, 0));
    _mm_setcsr(saved);
  }
  // Nor any other FCSR asks for.
  for (const uint32_t fcsr : {1u, 2u, 3u})
    EXPECT_FALSE(quick::arithmetic(Operation::add, Format::S, 0x3F800000, 0x3F800000, fcsr));
}

}  // namespace
