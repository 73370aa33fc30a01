#include "cpu/r4300i/fpu_values.h"
#include "machine/engines/block_emission.h"

// The FPU's most common words in the block's own code: MOV, C.cond, and ADD, SUB and MUL where the
// quick way's reasoning holds (cpu/r4300i/fpu_quick.h): rounding to nearest with the
// inexact exception disabled, operands that are zeros or normal numbers, and a result far from
// the ends of its range. Anything else goes to the interpreter's handler, which computes it the
// exact way.
namespace block_emission {

namespace {

namespace fpu = r4300i::fpu;

constexpr unsigned kSingle = 16;
constexpr unsigned kDouble = 17;
enum Function : unsigned { kAdd = 0, kSub = 1, kMul = 2, kMov = 6, kFirstCompare = 0x30 };

constexpr unsigned kSingleFraction = 23;
constexpr unsigned kDoubleFraction = 52;
constexpr unsigned kDoubleBias = 1023;

// The FCSR bits of an operation that raised nothing or just an inexact result.
constexpr uint32_t kInexactBits =
    (fpu::kInexact << fpu::kCauseShift) | (fpu::kInexact << fpu::kFlagsShift);

}  // namespace

x86::Mem BlockEmitter::fcsr() const {
  return cpu_field(offsetof(CpuState, fcr31), 4);
}

void BlockEmitter::emit_exponent_check(const x86::Gp& bits, unsigned fraction_bits, unsigned least,
                                       unsigned most, const Label& outside) {
  const Label inside = a_.newLabel();
  a_.add(bits, bits);  // the sign out: a zero of either sign is 0
  a_.jz(inside);
  const uint64_t first = uint64_t{least} << (fraction_bits + 1);
  const uint64_t span = uint64_t{most - least + 1} << (fraction_bits + 1);
  if (bits.size() == 4) {
    a_.sub(bits, imm(first));
    a_.cmp(bits, imm(span));
  } else {
    a_.mov(x86::r11, first);
    a_.sub(bits, x86::r11);
    a_.mov(x86::r11, span);
    a_.cmp(bits, x86::r11);
  }
  a_.jae(outside);
  a_.bind(inside);
}

bool BlockEmitter::emit_native_fpu(const DecodedWord& w, const Label& slow) {
  const InstrFields f{w.word};
  if (f.rs() != kSingle && f.rs() != kDouble) return false;
  const bool wide = f.rs() == kDouble;
  const uint32_t size = wide ? 8 : 4;
  const x86::Mem fs = fpr(f.rd(), size);
  const x86::Mem ft = fpr(f.rt(), size);
  const unsigned function = f.funct();
  if (function == kMov) {
    const x86::Gp value = wide ? x86::Gp(x86::rax) : x86::Gp(x86::eax);
    a_.mov(value, fs);
    a_.mov(fpr(f.sa(), size), value);
  } else if (function >= kFirstCompare) {
    emit_native_compare(wide, fs, ft, function & 15, slow);
  } else if (function <= kMul && !(wide && function == kMul)) {
    emit_native_arithmetic(wide, function == kMul, function == kSub, fs, ft, fpr(f.sa(), size),
                           slow);
  } else {
    return false;
  }
  return true;
}

// C.cond on two numbers or infinities: no NaN (the unordered case, which may raise the invalid
// operation) and no subnormal (which does).
void BlockEmitter::emit_native_compare(bool wide, const x86::Mem& fs, const x86::Mem& ft,
                                       unsigned condition, const Label& slow) {
  for (const x86::Mem& operand : {fs, ft}) {
    const x86::Gp bits = wide ? x86::Gp(x86::rax) : x86::Gp(x86::eax);
    a_.mov(bits, operand);
    emit_exponent_check(bits, wide ? kDoubleFraction : kSingleFraction, 1, wide ? 2047 : 255, slow);
  }
  if (wide) {
    a_.movsd(x86::xmm0, fs);
    a_.ucomisd(x86::xmm0, ft);
  } else {
    a_.movss(x86::xmm0, fs);
    a_.ucomiss(x86::xmm0, ft);
  }
  a_.jp(slow);
  const bool equal = (condition & 2) != 0;
  const bool less = (condition & 4) != 0;
  if (equal && less) {
    a_.setbe(x86::cl);
  } else if (equal) {
    a_.sete(x86::cl);
  } else if (less) {
    a_.setb(x86::cl);
  } else {
    a_.xor_(x86::ecx, x86::ecx);
  }
  a_.movzx(x86::ecx, x86::cl);
  a_.shl(x86::ecx, 23);
  static_assert(fpu::kConditionBit == 1u << 23);
  a_.mov(x86::eax, fcsr());
  a_.and_(x86::eax, ~(fpu::kCauseBits | fpu::kConditionBit));
  a_.or_(x86::eax, x86::ecx);
  a_.mov(fcsr(), x86::eax);
}

// ADD, SUB and MUL as the quick way computes them: singles in double, where a product of two is
// exact and rounding a sum once more to single gives the single rounded once; whether a sum is
// inexact from its exact error, by Knuth's two-sum.
void BlockEmitter::emit_native_arithmetic(bool wide, bool product, bool difference,
                                          const x86::Mem& fs, const x86::Mem& ft,
                                          const x86::Mem& fd, const Label& slow) {
  a_.test(fcsr(), fpu::kRoundingModeBits | fpu::kInexact << fpu::kEnablesShift);
  a_.jnz(slow);
  // Singles: zeros or normal numbers. Doubles: far enough inside their range that no step of the
  // two-sum overflows and its error is a normal number.
  for (const x86::Mem& operand : {fs, ft}) {
    const x86::Gp bits = wide ? x86::Gp(x86::rax) : x86::Gp(x86::eax);
    a_.mov(bits, operand);
    if (wide) {
      emit_exponent_check(bits, kDoubleFraction, 64, 2047 - 64, slow);
    } else {
      emit_exponent_check(bits, kSingleFraction, 1, 254, slow);
    }
  }
  const x86::Xmm a = x86::xmm0, b = x86::xmm1, sum = x86::xmm2;
  if (wide) {
    a_.movsd(a, fs);
    a_.movsd(b, ft);
  } else {
    a_.cvtss2sd(a, fs);
    a_.cvtss2sd(b, ft);
  }
  a_.xor_(x86::ecx, x86::ecx);  // inexact
  a_.movapd(sum, a);
  if (product) {
    a_.mulsd(sum, b);
  } else {
    const x86::Xmm b_part = x86::xmm3, rest = x86::xmm4, error = x86::xmm5;
    const auto add = [this](const x86::Xmm& to, const x86::Xmm& from, bool subtract) {
      if (subtract) {
        a_.subsd(to, from);
      } else {
        a_.addsd(to, from);
      }
    };
    add(sum, b, difference);
    a_.movapd(b_part, sum);
    a_.subsd(b_part, a);
    a_.movapd(rest, sum);
    a_.subsd(rest, b_part);
    a_.movapd(error, a);
    a_.subsd(error, rest);
    // (a - (sum - b_part)) + (b - b_part), with b's sign turned for a difference
    add(b, b_part, !difference);
    add(error, b, difference);
    a_.xorpd(rest, rest);
    a_.ucomisd(error, rest);
    a_.setne(x86::cl);
  }
  // The result a normal number two exponents from the ends of its format's range, or zero (which
  // a sum or a product of these operands only is exactly).
  a_.movq(x86::rax, sum);
  if (wide) {
    emit_exponent_check(x86::rax, kDoubleFraction, 2, 2047 - 2, slow);
  } else {
    emit_exponent_check(x86::rax, kDoubleFraction, kDoubleBias - 125, kDoubleBias + 125, slow);
    // The single straight from the operands, rounded as rounding the double again would round
    // it, without the double's latency on the way from one operation to the next.
    const x86::Xmm single = x86::xmm3, back = x86::xmm4;
    a_.movss(single, fs);
    if (product) {
      a_.mulss(single, ft);
    } else if (difference) {
      a_.subss(single, ft);
    } else {
      a_.addss(single, ft);
    }
    a_.cvtss2sd(back, single);
    a_.ucomisd(back, sum);
    a_.setne(x86::al);
    a_.or_(x86::cl, x86::al);
  }
  a_.movzx(x86::ecx, x86::cl);
  a_.imul(x86::ecx, x86::ecx, kInexactBits);
  a_.mov(x86::eax, fcsr());
  a_.and_(x86::eax, ~fpu::kCauseBits);
  a_.or_(x86::eax, x86::ecx);
  a_.mov(fcsr(), x86::eax);
  if (wide) {
    a_.movsd(fd, sum);
  } else {
    a_.movss(fd, x86::xmm3);
  }
}

}  // namespace block_emission
