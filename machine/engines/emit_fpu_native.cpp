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
constexpr unsigned kWord = 20;
// The functions of ADD, SUB, MUL, DIV and SQRT are fpu::Operation's values.
enum Function : unsigned {
  kSub = 1,
  kSqrt = 4,
  kMov = 6,
  kCvtS = 32,
  kCvtD = 33,
  kFirstCompare = 0x30
};
static_assert(static_cast<unsigned>(fpu::Operation::sub) == kSub &&
              static_cast<unsigned>(fpu::Operation::sqrt) == kSqrt);

constexpr unsigned kSingleFraction = 23;
constexpr unsigned kDoubleFraction = 52;
constexpr uint32_t kSingleSubnormals = (1u << (kSingleFraction + 1)) - 1;

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
  if (f.funct() == kCvtS || f.funct() == kCvtD) return emit_native_conversion(f, slow);
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
  } else if (function <= kSqrt && (!wide || function <= kSub)) {
    emit_native_arithmetic(wide, static_cast<fpu::Operation>(function), fs, ft, fpr(f.sa(), size),
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

// CVT.D from S or W, exact for a number; CVT.S from W or D, rounded to nearest as a single
// operation's result is, and checked as one (a NaN, an infinity or a subnormal double becomes a
// result the checks refuse).
bool BlockEmitter::emit_native_conversion(InstrFields f, const Label& slow) {
  const unsigned from = f.rs();
  const bool to_double = f.funct() == kCvtD;
  if (from != kWord && from != (to_double ? kSingle : kDouble)) return false;
  const x86::Mem fs = fpr(f.rd(), from == kDouble ? 8 : 4);
  const x86::Mem fd = fpr(f.sa(), to_double ? 8 : 4);
  const x86::Xmm source = x86::xmm0, single = x86::xmm3, back = x86::xmm4;
  if (to_double) {
    if (from == kSingle) {
      a_.mov(x86::eax, fs);
      emit_exponent_check(x86::eax, kSingleFraction, 1, 254, slow);
      a_.cvtss2sd(source, fs);
    } else {
      a_.cvtsi2sd(source, fs);
    }
    a_.and_(fcsr(), ~fpu::kCauseBits);
    a_.movsd(fd, source);
    return true;
  }
  a_.test(fcsr(), fpu::kRoundingModeBits | fpu::kInexact << fpu::kEnablesShift);
  a_.jnz(slow);
  if (from == kWord) {
    a_.cvtsi2sd(source, fs);
    a_.cvtsi2ss(single, fs);
  } else {
    a_.movsd(source, fs);
    a_.cvtsd2ss(single, source);
    emit_single_result_check(single, source, slow);
  }
  a_.cvtss2sd(back, single);
  a_.ucomisd(back, source);
  a_.setne(x86::cl);
  emit_inexact_cause();
  a_.movss(fd, single);
  return true;
}

// ADD, SUB, MUL, DIV and SQRT where they give what the VR4300 gives: rounding to nearest
// without the inexact exception enabled, which every operation here checks as FCSR may have
// changed between them.
void BlockEmitter::emit_native_arithmetic(bool wide, fpu::Operation op, const x86::Mem& fs,
                                          const x86::Mem& ft, const x86::Mem& fd,
                                          const Label& slow) {
  a_.test(fcsr(), fpu::kRoundingModeBits | fpu::kInexact << fpu::kEnablesShift);
  a_.jnz(slow);
  if (wide) {
    emit_double_arithmetic(op == fpu::Operation::sub, fs, ft, fd, slow);
  } else {
    emit_single_arithmetic(op, fs, ft, fd, slow);
  }
}

// The host computes the single itself, from operands that are no subnormals: an infinity or a
// NaN among them, or a division by zero, makes one of the result, which goes to the slow way
// with every result that is not a normal number two exponents from the ends of the range (so that
// neither the overflow nor the underflow test could tell otherwise, whether it looks before
// rounding or after) or a zero that is exact. Whether it is inexact comes from double, which holds
// a product of two singles exactly: a sum's own error by Knuth's two-sum and whether the double
// sum or product rounds, a quotient or a root multiplied back.
void BlockEmitter::emit_single_arithmetic(fpu::Operation op, const x86::Mem& fs, const x86::Mem& ft,
                                          const x86::Mem& fd, const Label& slow) {
  using fpu::Operation;
  const bool binary = op != Operation::sqrt;
  const x86::Mem* operands[] = {&fs, &ft};
  for (int i = 0; i < (binary ? 2 : 1); ++i) {
    a_.mov(x86::eax, *operands[i]);
    // A subnormal's bits without the sign, less 1, lie below its fraction's room; a zero's wrap.
    a_.lea(x86::eax, x86::ptr(x86::rax, x86::rax, 0, -1));
    a_.cmp(x86::eax, kSingleSubnormals);
    a_.jb(slow);
  }
  const x86::Xmm a = x86::xmm0, b = x86::xmm1, wide = x86::xmm2, single = x86::xmm3;
  const x86::Xmm back = x86::xmm4;
  a_.movss(single, fs);
  a_.cvtss2sd(a, fs);
  if (binary) a_.cvtss2sd(b, ft);
  a_.xor_(x86::ecx, x86::ecx);  // inexact
  switch (op) {
    case Operation::add:
    case Operation::sub:
      if (op == Operation::sub) {
        a_.subss(single, ft);
      } else {
        a_.addss(single, ft);
      }
      a_.movapd(wide, a);
      emit_two_sum_error(a, b, wide, op == Operation::sub);
      break;
    case Operation::mul:
      a_.mulss(single, ft);
      a_.movapd(wide, a);
      a_.mulsd(wide, b);
      break;
    case Operation::div:
      a_.divss(single, ft);
      break;
    case Operation::sqrt:
      a_.sqrtss(single, single);
      break;
  }
  // Zero is exact where the double sum or product is, or the dividend or the root's operand.
  const x86::Xmm exact_zero = binary && op != Operation::div ? wide : a;
  emit_single_result_check(single, exact_zero, slow);
  a_.cvtss2sd(back, single);
  if (op == Operation::div || op == Operation::sqrt) {
    a_.mulsd(back, op == Operation::div ? b : back);
    a_.ucomisd(back, a);
  } else {
    a_.ucomisd(back, wide);
  }
  a_.setne(x86::al);
  a_.or_(x86::cl, x86::al);
  emit_inexact_cause();
  a_.movss(fd, single);
}

// Goes to `slow` unless `single` is a normal number two exponents from the ends of the range or a
// zero that is exact: where `exact_zero` is one too.
void BlockEmitter::emit_single_result_check(const x86::Xmm& single, const x86::Xmm& exact_zero,
                                            const Label& slow) {
  const Label checked = a_.newLabel();
  const Label zero = a_.newLabel();
  a_.movd(x86::eax, single);
  a_.add(x86::eax, x86::eax);
  a_.jz(zero);
  a_.sub(x86::eax, 2u << 24);
  a_.cmp(x86::eax, 252u << 24);  // exponent fields 2 to 253
  a_.jae(slow);
  a_.bind(checked);
  cold_.push_back([this, zero, checked, slow, exact_zero] {
    a_.bind(zero);
    a_.xorpd(x86::xmm5, x86::xmm5);
    a_.ucomisd(exact_zero, x86::xmm5);
    a_.jne(slow);
    a_.jmp(checked);
  });
}

// Doubles far enough inside their range that no step of the two-sum overflows and its error is a
// normal number; the result a normal number two exponents from the ends of the range, or zero.
void BlockEmitter::emit_double_arithmetic(bool difference, const x86::Mem& fs, const x86::Mem& ft,
                                          const x86::Mem& fd, const Label& slow) {
  for (const x86::Mem& operand : {fs, ft}) {
    a_.mov(x86::rax, operand);
    emit_exponent_check(x86::rax, kDoubleFraction, 64, 2047 - 64, slow);
  }
  const x86::Xmm a = x86::xmm0, b = x86::xmm1, sum = x86::xmm2;
  a_.movsd(a, fs);
  a_.movsd(b, ft);
  a_.movapd(sum, a);
  emit_two_sum_error(a, b, sum, difference);
  a_.movq(x86::rax, sum);
  emit_exponent_check(x86::rax, kDoubleFraction, 2, 2047 - 2, slow);
  emit_inexact_cause();
  a_.movsd(fd, sum);
}

void BlockEmitter::emit_sum(const x86::Xmm& to, const x86::Xmm& from, bool difference) {
  if (difference) {
    a_.subsd(to, from);
  } else {
    a_.addsd(to, from);
  }
}

// `sum` (holding `a`) becomes a + b or a - b in double, and cl whether that was inexact: Knuth's
// two-sum, whose rounding error (a - (sum - b_part)) + (b - b_part) comes out exactly, with b's
// sign turned for a difference. `a` and `b` are spent; xmm4 and xmm5 too.
void BlockEmitter::emit_two_sum_error(const x86::Xmm& a, const x86::Xmm& b, const x86::Xmm& sum,
                                      bool difference) {
  const x86::Xmm b_part = x86::xmm4, rest = x86::xmm5;
  emit_sum(sum, b, difference);
  a_.movapd(b_part, sum);
  a_.subsd(b_part, a);
  a_.movapd(rest, sum);
  a_.subsd(rest, b_part);
  a_.subsd(a, rest);
  emit_sum(b, b_part, !difference);
  emit_sum(a, b, difference);
  a_.xorpd(rest, rest);
  a_.ucomisd(a, rest);
  a_.setne(x86::cl);
}

// FCSR's cause field shows the inexact result when cl is 1 and nothing else; its flags gather it.
void BlockEmitter::emit_inexact_cause() {
  a_.movzx(x86::ecx, x86::cl);
  a_.imul(x86::ecx, x86::ecx, kInexactBits);
  a_.and_(fcsr(), ~fpu::kCauseBits);
  a_.or_(fcsr(), x86::ecx);
}

}  // namespace block_emission
