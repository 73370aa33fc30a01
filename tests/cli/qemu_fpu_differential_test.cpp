// The complete model's FPU against qemu's: random sequences of FPU instructions over edge values
// (zeros, infinities, signalling NaNs, the largest and smallest normal numbers, values that round
// differently in each mode), each sequence in one of the four rounding modes, run as one program
// under qemu-mips64 -cpu R4000 (whose 64-bit Linux ABI has Status.FR set) and under --cpu r4300i
// with FR set. The floating-point registers, FCSR and the general registers the moves fill must
// agree.
//
// The sequences keep away from where the VR4300 differs from qemu on purpose, which the directed
// tests cover (tests/cpu/fpu_test.cpp): no operand is subnormal or a quiet NaN (MIPS's quiet NaN,
// the default NaN an invalid operation gives, can reach only MOV and the comparisons), no result
// underflows, no conversion to an integer gets a NaN, an infinity or a value out of range, and no
// exception is enabled. The generator follows each register's value closely enough to know this;
// where a result depends on the rounding mode near an edge (an overflow), or comes through a
// general register or a branch, the register is only moved and stored from then on. ABS and NEG
// leave qemu's Cause alone while the VR4300 clears it, so every sequence ends with a conversion
// that clears it on both.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "tests/cli/qemu_yardstick.h"
#include "tests/support/core_fixture.h"

namespace {

constexpr int kSequences = 300;
constexpr int kBodyLength = 40;          // instructions chosen at random
constexpr int kMoveRegisters = 6;        // $2-$7 take what MFC1, DMFC1, CFC1 and LW give
constexpr int kInputBytes = 8 * 32 + 8;  // the registers' first values, then FCSR's
constexpr int kBlockBytes = kInputBytes + 8 * kMoveRegisters;

enum class Holds : uint8_t { single, double_, word, long_, unknown };

// What the generator knows of a register: a value of a format, close enough to keep away from the
// edges, or nothing (`unknown`: it is moved and stored only).
struct Content {
  Holds holds = Holds::unknown;
  long double value = 0;
  bool signalling = false;  // a NaN the FPU takes: both give the default NaN for it
};

// The edge values, as their patterns.
constexpr uint32_t kSingles[] = {
    0x00000000, 0x80000000, 0x3F800000, 0xBF800000, 0x40000000, 0x3F000000, 0x3FC00000,
    0x40200000, 0xC0200000, 0x40400000, 0x3EAAAAAB, 0x3DCCCCCD, 0x7F800000, 0xFF800000,
    0x7F7FFFFF, 0xFF7FFFFF, 0x00800000, 0x80800000, 0x01000000, 0x3F800001, 0x4B7FFFFF,
    0x4EFFFFFE, 0x7FC00000, 0x7FFFFFFF, 0x42F6E979, 0xC61C4000};
constexpr uint64_t kDoubles[] = {
    0x0000000000000000, 0x8000000000000000, 0x3FF0000000000000, 0xBFF0000000000000,
    0x4000000000000000, 0x3FE0000000000000, 0x3FF8000000000000, 0x4004000000000000,
    0xC004000000000000, 0x4008000000000000, 0x3FD5555555555555, 0x3FB999999999999A,
    0x3FE5555555555555, 0x7FF0000000000000, 0xFFF0000000000000, 0x7FEFFFFFFFFFFFFF,
    0xFFEFFFFFFFFFFFFF, 0x0010000000000000, 0x8010000000000000, 0x0020000000000000,
    0x3FF0000000000001, 0x4202A05F20000000, 0x3DDB7CDFD9D7BDBB, 0x4340000000000001,
    0x47EC2C5A80000000, 0x37A16C262777579C, 0x7FF8000000000000, 0x7FFFFFFFFFFFFFFF,
    0x41EFFFFFFFF00000, 0xC1E0000000100000, 0x41DFFFFFFFD9999A, 0x430C6BF526340001,
    0x405EDD2F1A9FBE77, 0x3FF0000010000000};
constexpr int32_t kWords[] = {0, 1, -1, 7, 16777217, -16777217, INT32_MAX, INT32_MIN, 123456789};
constexpr int64_t kLongs[] = {0,
                              1,
                              -1,
                              (int64_t{1} << 53) + 1,
                              -(int64_t{1} << 53) - 1,
                              (int64_t{1} << 54) - 1,
                              (int64_t{1} << 40) + 3,
                              (int64_t{1} << 55) - 1,
                              -(int64_t{1} << 55)};

long double single_value(uint32_t bits) {
  return std::bit_cast<float>(bits);
}
long double double_value(uint64_t bits) {
  return std::bit_cast<double>(bits);
}
bool signalling_single(uint32_t bits) {
  return (bits & 0x7FC00000) == 0x7FC00000;
}
bool signalling_double(uint64_t bits) {
  return (bits & 0x7FF8000000000000) == 0x7FF8000000000000;
}

long double largest(Holds h) {
  return h == Holds::single ? std::numeric_limits<float>::max()
                            : std::numeric_limits<double>::max();
}
long double smallest_normal(Holds h) {
  return h == Holds::single ? std::numeric_limits<float>::min()
                            : std::numeric_limits<double>::min();
}

char letter(Holds h) {
  switch (h) {
    case Holds::single:
      return 's';
    case Holds::double_:
      return 'd';
    case Holds::word:
      return 'w';
    default:
      return 'l';
  }
}

std::string f(int n) {
  return "$f" + std::to_string(n);
}

// What an operation does to Cause on both sides: nothing (the moves, loads and stores), sets it
// on both (every computing operation and CTC1), or clears it on Korvel's side alone (ABS and NEG).
enum class CauseAfter : uint8_t { kept, same, differs };

// What one operation adds to a sequence: its lines, and what it leaves in the registers and Cause.
struct Step {
  std::vector<std::string> lines;
  std::vector<std::pair<int, Content>> writes;
  CauseAfter cause = CauseAfter::same;

  bool empty() const { return lines.empty(); }
};

// Writes one sequence's body and follows what each register holds.
class FpuSequenceWriter {
 public:
  FpuSequenceWriter(std::mt19937_64& random, std::ostringstream& out, int sequence,
                    const Content (&initial)[32])
      : random_(random), out_(out), sequence_(sequence) {
    std::copy(std::begin(initial), std::end(initial), registers_);
    std::copy(std::begin(initial), std::end(initial), initial_);
  }

  void body(int length) {
    while (emitted_ < length) {
      if (pick(10) == 0) {
        branch();
      } else {
        take(operation());
      }
    }
  }

  int emitted() const { return emitted_; }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<uint64_t>(n)); }

  void take(const Step& step) {
    if (step.empty()) return;
    for (const std::string& line : step.lines) out_ << "        " << line << "\n";
    emitted_ += static_cast<int>(step.lines.size());
    for (const auto& [r, content] : step.writes) registers_[r] = content;
    if (step.cause != CauseAfter::kept) cause_differs_ = step.cause == CauseAfter::differs;
    region_cause_differs_ = region_cause_differs_ || cause_differs_;
  }

  // A register whose content passes `usable`, or -1.
  template <typename Usable>
  int find(Usable usable) {
    for (int tries = 0; tries < 64; ++tries) {
      const int r = pick(32);
      if (usable(registers_[r])) return r;
    }
    return -1;
  }

  static bool arithmetic_operand(const Content& c, Holds h) {
    return c.holds == h && (c.signalling || !std::isnan(c.value));
  }

  // `line` writing a result of format `h` worth `value` into `d`: the default NaN when it is a
  // NaN, nothing known near the overflow edge (where the rounding mode decides) or past it unless
  // the infinity is exact; no step where the result could underflow.
  static Step result(const std::string& line, int d, Holds h, long double value,
                     bool exact_infinity = true) {
    Content c{h, value, false};
    if (std::isinf(value) && !exact_infinity) c.holds = Holds::unknown;
    if (std::isfinite(value) && std::fabs(value) >= largest(h) / 2) c.holds = Holds::unknown;
    if (value != 0 && std::fabs(value) < 4 * smallest_normal(h)) return {};
    return {{line}, {{d, c}}};
  }

  // One operation that neither branches nor traps; nothing when no register suits it.
  Step operation() {
    const Holds h = pick(2) ? Holds::single : Holds::double_;
    const std::string fmt = std::string(".") + letter(h);
    const int d = pick(31);  // f31 is the end's
    switch (pick(12)) {
      case 0:
      case 1:
      case 2:
        return binary(h, fmt, d);
      case 3:
        return unary(h, fmt, d);
      case 4: {  // MOV copies anything
        const int a = pick(32);
        return {{"mov" + fmt + " " + f(d) + ", " + f(a)},
                {{d, registers_[a].holds == h ? registers_[a] : Content{}}},
                CauseAfter::kept};
      }
      case 5: {  // CVT between S and D
        const Holds from = h == Holds::single ? Holds::double_ : Holds::single;
        const int a = find([&](const Content& c) { return arithmetic_operand(c, from); });
        if (a < 0) return {};
        const Content& x = registers_[a];
        return result("cvt" + fmt + "." + letter(from) + " " + f(d) + ", " + f(a), d, h,
                      x.signalling ? NAN : x.value);
      }
      case 6:
      case 7:
        return to_integer(h, fmt, d);
      case 8: {  // from W or L
        const int a = find(
            [](const Content& c) { return c.holds == Holds::word || c.holds == Holds::long_; });
        if (a < 0) return {};
        const Content& x = registers_[a];
        return result("cvt" + fmt + "." + letter(x.holds) + " " + f(d) + ", " + f(a), d, h,
                      x.value);
      }
      case 9: {  // C.cond: NaNs of both kinds may take part
        const int a = find([&](const Content& c) { return c.holds == h; });
        const int b = find([&](const Content& c) { return c.holds == h; });
        if (a < 0 || b < 0) return {};
        static const char* conditions[] = {"f",  "un",   "eq",  "ueq", "olt", "ult", "ole", "ule",
                                           "sf", "ngle", "seq", "ngl", "lt",  "nge", "le",  "ngt"};
        return {{std::string("c.") + conditions[pick(16)] + fmt + " " + f(a) + ", " + f(b)}, {}};
      }
      case 10:
        return move(d);
      default:
        return load_or_store(d);
    }
  }

  // ADD, SUB, MUL and DIV.
  Step binary(Holds h, const std::string& fmt, int d) {
    const int a = find([&](const Content& c) { return arithmetic_operand(c, h); });
    const int b = find([&](const Content& c) { return arithmetic_operand(c, h); });
    if (a < 0 || b < 0) return {};
    const Content& x = registers_[a];
    const Content& y = registers_[b];
    static const char* names[] = {"add", "sub", "mul", "div"};
    const int op = pick(4);
    const bool exact_infinity =
        std::isinf(x.value) || std::isinf(y.value) || (op == 3 && y.value == 0);
    long double value = NAN;
    if (!x.signalling && !y.signalling) {
      value = op == 0   ? x.value + y.value
              : op == 1 ? x.value - y.value
              : op == 2 ? x.value * y.value
                        : x.value / y.value;
    }
    return result(std::string(names[op]) + fmt + " " + f(d) + ", " + f(a) + ", " + f(b), d, h,
                  value, exact_infinity);
  }

  // SQRT, ABS and NEG; ABS and NEG of no NaN, which qemu takes for moves.
  Step unary(Holds h, const std::string& fmt, int d) {
    const int op = pick(3);
    const int a = find([&](const Content& c) {
      return op == 0 ? arithmetic_operand(c, h) : c.holds == h && !std::isnan(c.value);
    });
    if (a < 0) return {};
    const Content& x = registers_[a];
    const long double value = x.signalling ? NAN
                              : op == 0    ? std::sqrt(x.value)
                              : op == 1    ? std::fabs(x.value)
                                           : -x.value;
    static const char* names[] = {"sqrt", "abs", "neg"};
    Step step = result(std::string(names[op]) + fmt + " " + f(d) + ", " + f(a), d, h, value);
    if (op != 0) step.cause = CauseAfter::differs;
    return step;
  }

  // To W or L, rounding as FCSR says or as the name says, from a value well inside the range.
  Step to_integer(Holds h, const std::string& fmt, int d) {
    const bool to_long = pick(2);
    const long double limit = to_long ? 0x1p53L - 2 : 0x1p31L - 2;
    const int a = find([&](const Content& c) {
      return c.holds == h && std::isfinite(c.value) && std::fabs(c.value) <= limit;
    });
    if (a < 0) return {};
    static const char* names[] = {"cvt", "round", "trunc", "ceil", "floor"};
    const std::string line =
        std::string(names[pick(5)]) + (to_long ? ".l" : ".w") + fmt + " " + f(d) + ", " + f(a);
    return {{line}, {{d, {to_long ? Holds::long_ : Holds::word, std::round(registers_[a].value)}}}};
  }

  // The moves through general registers, and FCSR's.
  Step move(int d) {
    const std::string gpr = "$" + std::to_string(2 + pick(kMoveRegisters));
    constexpr CauseAfter kept = CauseAfter::kept;
    switch (pick(6)) {
      case 0:
        return {{"mfc1 " + gpr + ", " + f(pick(32))}, {}, kept};
      case 1:
        return {{"dmfc1 " + gpr + ", " + f(pick(32))}, {}, kept};
      case 2:
        return {{"mtc1 " + gpr + ", " + f(d)}, {{d, {}}}, kept};
      case 3:
        return {{"dmtc1 " + gpr + ", " + f(d)}, {{d, {}}}, kept};
      case 4:  // FCSR, unless Cause may differ
        if (cause_differs_) return {};
        return {{"cfc1 " + gpr + ", $31"}, {}, kept};
      default:  // another rounding mode, perhaps with FS; the flags and causes cleared
        return {{std::string("lui $1, ") + (pick(2) ? "0x0100" : "0"),
                 "ori $1, $1, " + std::to_string(pick(4)), "ctc1 $1, $31"},
                {}};
    }
  }

  // LDC1 and LWC1 from the sequence's own first values, SDC1 and SWC1 through the scratch word.
  Step load_or_store(int d) {
    const int m = pick(32);
    const std::string gpr = "$" + std::to_string(2 + pick(kMoveRegisters));
    constexpr CauseAfter kept = CauseAfter::kept;
    switch (pick(4)) {
      case 0:
        return {
            {"ldc1 " + f(d) + ", " + std::to_string(8 * m) + "($29)"}, {{d, initial_[m]}}, kept};
      case 1: {
        const Holds h = initial_[m].holds;
        return {{"lwc1 " + f(d) + ", " + std::to_string(8 * m + 4) + "($29)"},
                {{d, h == Holds::single || h == Holds::word ? initial_[m] : Content{}}},
                kept};
      }
      case 2:
        return {{"sdc1 " + f(m) + ", 0($30)", "ld " + gpr + ", 0($30)"}, {}, kept};
      default:
        return {{"swc1 " + f(m) + ", 4($30)", "lw " + gpr + ", 4($30)"}, {}, kept};
    }
  }

  // BC1F, BC1T, BC1FL or BC1TL over a few operations, its delay slot one of them. A likely branch
  // may skip its slot, so what the slot writes is known no more from the slot on, and what the
  // operations it may skip write is known no more after them; Cause may differ after them where
  // it may differ anywhere on either way.
  void branch() {
    static const char* forms[] = {"bc1f", "bc1t", "bc1fl", "bc1tl"};
    const std::string target = "L" + std::to_string(sequence_) + "_" + std::to_string(labels_++);
    take({{std::string(forms[pick(4)]) + " " + target}, {}, CauseAfter::kept});
    region_cause_differs_ = cause_differs_;
    Step slot;
    for (int tries = 0; tries < 16 && slot.lines.size() != 1; ++tries) slot = operation();
    if (slot.lines.size() != 1) slot = {{"nop"}, {}, CauseAfter::kept};
    take(slot);
    for (const auto& write : slot.writes) registers_[write.first] = {};
    Step skipped;
    for (int n = pick(3); n > 0; --n) {
      const Step step = operation();
      take(step);
      skipped.writes.insert(skipped.writes.end(), step.writes.begin(), step.writes.end());
    }
    out_ << target << ":\n";
    for (const auto& write : skipped.writes) registers_[write.first] = {};
    cause_differs_ = region_cause_differs_;
  }

  std::mt19937_64& random_;
  std::ostringstream& out_;
  int sequence_;
  Content registers_[32];
  Content initial_[32];
  bool cause_differs_ = false;
  bool region_cause_differs_ = false;  // anywhere since the latest branch
  int emitted_ = 0;
  int labels_ = 0;
};

// A register's first value: an edge value of a format chosen at random, with its pattern. A
// single or a word has random bits above it, which its instructions leave as they are.
std::pair<uint64_t, Content> first_value(std::mt19937_64& random) {
  const uint64_t above = random() << 32;
  switch (random() % 4) {
    case 0: {
      const uint32_t bits = kSingles[random() % std::size(kSingles)];
      return {above | bits, {Holds::single, single_value(bits), signalling_single(bits)}};
    }
    case 1: {
      const uint64_t bits = kDoubles[random() % std::size(kDoubles)];
      return {bits, {Holds::double_, double_value(bits), signalling_double(bits)}};
    }
    case 2: {
      const int32_t value = kWords[random() % std::size(kWords)];
      return {above | static_cast<uint32_t>(value), {Holds::word, static_cast<long double>(value)}};
    }
    default: {
      const int64_t value = kLongs[random() % std::size(kLongs)];
      return {static_cast<uint64_t>(value), {Holds::long_, static_cast<long double>(value)}};
    }
  }
}

// For each sequence: its first values and FCSR (a rounding mode of its own, FS at random) put in
// place, its body, a conversion that clears Cause on both, then the registers, FCSR and the moves'
// general registers saved. $29 holds the sequence's first values, $30 a scratch doubleword.
SequenceProgram write_program(uint64_t seed) {
  std::mt19937_64 random(seed);
  std::ostringstream text, data;
  text << "        .set noreorder\n        .set noat\n        .set nomacro\n        .text\n"
          "        .globl _start\n_start:\n        j begin\n        nop\n"
       << finish_and_exit(kSequences * kBlockBytes)
       << "        lui $30, %hi(scratch)\n        daddiu $30, $30, %lo(scratch)\n";
  data << "        .data\n        .align 3\n";
  SequenceProgram program;
  for (int i = 0; i < kSequences; ++i) {
    const std::string in = "in" + std::to_string(i);
    data << in << ":\n";
    Content initial[32];
    for (Content& content : initial) {
      const auto [bits, known] = first_value(random);
      data << "        .dword " << bits << "\n";
      content = known;
    }
    const uint64_t fcsr = (i % 4) | (random() % 2 ? 1u << 24 : 0) | (random() % 2 ? 1u << 23 : 0);
    data << "        .dword " << fcsr << "\n";

    text << "        lui $29, %hi(" << in << ")\n        daddiu $29, $29, %lo(" << in << ")\n";
    for (int r = 0; r < 32; ++r) text << "        ldc1 $f" << r << ", " << 8 * r << "($29)\n";
    text << "        ld $1, 256($29)\n        ctc1 $1, $31\n";
    for (int r = 2; r < 2 + kMoveRegisters; ++r) text << "        ori $" << r << ", $0, 0\n";

    FpuSequenceWriter writer(random, text, i, initial);
    writer.body(kBodyLength);
    program.instructions += writer.emitted();

    text << "        mtc1 $0, $f31\n        cvt.d.w $f31, $f31\n"
         << "        lui $29, %hi(results + " << i * kBlockBytes << ")\n"
         << "        daddiu $29, $29, %lo(results + " << i * kBlockBytes << ")\n";
    for (int r = 0; r < 32; ++r) text << "        sdc1 $f" << r << ", " << 8 * r << "($29)\n";
    text << "        cfc1 $1, $31\n        sd $1, 256($29)\n";
    for (int r = 0; r < kMoveRegisters; ++r)
      text << "        sd $" << 2 + r << ", " << 264 + 8 * r << "($29)\n";
  }
  text << "        j finish\n        nop\n";
  program.source = text.str() + data.str() + "        .bss\n        .align 3\nscratch: .space 8\n" +
                   "results: .space " + std::to_string(kSequences * kBlockBytes) + "\n";
  return program;
}

// The doubleword at `offset` of a sequence's block.
std::string name_of(int offset) {
  if (offset < 256) return "$f" + std::to_string(offset / 8);
  return offset == 256 ? "fcsr" : "$" + std::to_string(2 + (offset - 264) / 8);
}

class QemuFpuDifferential : public CoreTest {};

TEST_F(QemuFpuDifferential, RandomFpuSequencesEndWithTheRegistersAndFcsrQemuGives) {
  const uint64_t seeds[] = {0x46505531, 2, 3};
  const int instructions = compare_seeded_sequences(
      seeds, write_program, {kSequences, kBlockBytes, name_of},
      [] { cpu.cp0[r4300i::kStatus] |= r4300i::kStatusFR; },
      [this] {
        reset_all_state();
        set_host(&recorder);
      });
  std::cout << "compared " << std::size(seeds) * kSequences << " FPU sequences of " << instructions
            << " instructions with qemu-mips64 -cpu R4000\n";
}

}  // namespace
