// The complete processor model against an independent MIPS III implementation: random instruction
// sequences, assembled by GNU as into one static Linux program, run under qemu-mips64 -cpu R4000
// and, made into a ROM by korvel-cli rom, under --cpu r4300i. Every sequence starts from its own
// registers and data; its final registers, HI, LO and data must agree.
//
// The sequences keep to what the architecture defines: 32-bit operations get sign-extended
// operands (the generator knows which registers hold one), an operation that could overflow gets
// operands halved first, divisors are made odd, branches go forward, and an SC follows its own LL
// with no store between. Exceptions are the directed tests' business.
#include <gtest/gtest.h>

#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/qemu_yardstick.h"
#include "tests/support/core_fixture.h"

namespace {

constexpr int kSequences = 400;
constexpr int kBodyLength = 48;  // instructions chosen at random, before conditioning
constexpr int kDataBytes = 256;
constexpr int kSavedRegisters = 34;  // gpr0-31, HI, LO
constexpr int kBlockBytes = kDataBytes + 8 * kSavedRegisters;
constexpr int kBase = 30;  // holds the data area's middle and is never written by a sequence

std::string reg(int n) {
  return "$" + std::to_string(n);
}

// Writes one sequence's body, knowing which registers hold sign-extended 32-bit values.
class SequenceWriter {
 public:
  SequenceWriter(std::mt19937_64& random, std::ostringstream& out, int sequence,
                 const uint64_t (&initial)[kSavedRegisters])
      : random_(random), out_(out), sequence_(sequence) {
    for (int r = 0; r < 32; ++r) extended_[r] = is_extended(initial[r]);
    hi_extended_ = is_extended(initial[32]);
    lo_extended_ = is_extended(initial[33]);
  }

  void body(int length) {
    for (int i = 0; i < length; ++i) {
      switch (pick(10)) {
        case 0:
          branch();
          break;
        case 1:
          jump();
          break;
        case 2:
          linked_pair();
          break;
        default:
          simple(false);
      }
    }
  }

  int emitted() const { return emitted_; }

 private:
  static bool is_extended(uint64_t v) {
    return v == static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v)));
  }

  int pick(int n) { return static_cast<int>(random_() % static_cast<uint64_t>(n)); }
  bool chance(int percent) { return pick(100) < percent; }

  void emit(const std::string& line) {
    out_ << "        " << line << "\n";
    ++emitted_;
  }

  int any_source() {
    int r;
    do r = pick(32);
    while (r == kBase && pick(4) != 0);  // the base may be read
    return r;
  }
  int destination() {
    int r;
    do r = pick(32);
    while (r == kBase || (r == 0 && pick(8) != 0));
    return r;
  }
  // A register holding a sign-extended value, made by SLL (defined for any operand) if need be;
  // in a delay slot, where one instruction must do, register 0.
  int extended_source() {
    for (int tries = 0; tries < 8; ++tries) {
      int r = pick(32);
      if (extended_[r]) return r;
    }
    if (single_) return 0;
    int d = destination();
    emit("sll " + reg(d) + ", " + reg(any_source()) + ", " + std::to_string(pick(32)));
    set(d, true);
    return d;
  }
  void set(int r, bool extended) {
    if (r != 0) extended_[r] = extended;
  }

  std::string imm16() { return std::to_string(static_cast<int>(pick(65536)) - 32768); }
  std::string uimm16() { return std::to_string(pick(65536)); }

  // An operand halved so that a sum or difference of two of them cannot overflow.
  int halved(bool doubleword) {
    const int source = doubleword ? any_source() : extended_source();
    const bool extended = !doubleword || extended_[source];
    const int d = destination();
    emit((doubleword ? "dsra " : "sra ") + reg(d) + ", " + reg(source) + ", 1");
    set(d, extended);
    return d;
  }

  // An instruction that neither branches nor traps, after the ones that prepare its operands; a
  // single one when `single` (a delay slot).
  void simple(bool single) {
    single_ = single;
    const int kind = pick(single ? 9 : 13);
    const int d = destination();
    switch (kind) {
      case 0: {  // three-register logic and 64-bit arithmetic
        static const char* ops[] = {"and", "or", "xor", "nor", "slt", "sltu", "daddu", "dsubu"};
        const int op = pick(8);
        const int a = any_source(), b = any_source();
        emit(std::string(ops[op]) + " " + reg(d) + ", " + reg(a) + ", " + reg(b));
        set(d, op < 4 ? extended_[a] && extended_[b] : op < 6);
        break;
      }
      case 1: {  // 32-bit arithmetic on sign-extended operands
        static const char* ops[] = {"addu", "subu", "srlv", "srav", "sllv"};
        const int op = pick(5);
        const int a = op < 4 ? extended_source() : any_source();
        const int b = extended_source();
        emit(std::string(ops[op]) + " " + reg(d) + ", " + reg(op < 2 ? a : b) + ", " +
             reg(op < 2 ? b : a));
        set(d, true);
        break;
      }
      case 2: {  // immediates
        static const char* ops[] = {"addiu", "slti", "sltiu",  "andi",
                                    "ori",   "xori", "daddiu", "lui"};
        const int op = pick(8);
        if (op == 7) {
          emit("lui " + reg(d) + ", " + uimm16());
          set(d, true);
          break;
        }
        const int a = op == 0 ? extended_source() : any_source();
        const bool logical = op >= 3 && op <= 5;
        emit(std::string(ops[op]) + " " + reg(d) + ", " + reg(a) + ", " +
             (logical ? uimm16() : imm16()));
        set(d, op < 4 || (op < 6 && extended_[a]));
        break;
      }
      case 3: {  // shifts by an amount
        static const char* ops[] = {"sll",  "srl",    "sra",    "dsll",  "dsrl",
                                    "dsra", "dsll32", "dsrl32", "dsra32"};
        const int op = pick(9);
        const int a = op == 1 || op == 2 ? extended_source() : any_source();
        emit(std::string(ops[op]) + " " + reg(d) + ", " + reg(a) + ", " + std::to_string(pick(32)));
        set(d, op < 3);
        break;
      }
      case 4: {  // doubleword variable shifts, HI and LO
        const int op = pick(5);
        const int a = any_source(), b = any_source();
        if (op < 3) {
          static const char* ops[] = {"dsllv", "dsrlv", "dsrav"};
          emit(std::string(ops[op]) + " " + reg(d) + ", " + reg(a) + ", " + reg(b));
          set(d, false);
        } else if (op == 3) {
          const bool high = chance(50);
          emit((high ? "mfhi " : "mflo ") + reg(d));
          set(d, high ? hi_extended_ : lo_extended_);
        } else {
          const bool high = chance(50);
          emit((high ? "mthi " : "mtlo ") + reg(a));
          (high ? hi_extended_ : lo_extended_) = extended_[a];
        }
        break;
      }
      case 5:
      case 6:
        load(d);
        break;
      case 7:
        store();
        break;
      case 8: {  // multiplies
        const bool doubleword = chance(50);
        const int a = doubleword ? any_source() : extended_source();
        const int b = doubleword ? any_source() : extended_source();
        emit(std::string(doubleword ? (chance(50) ? "dmult " : "dmultu ")
                                    : (chance(50) ? "mult " : "multu ")) +
             reg(a) + ", " + reg(b));
        hi_extended_ = lo_extended_ = !doubleword;
        break;
      }
      case 9: {  // divides by an odd divisor
        const bool doubleword = chance(50);
        const int a = doubleword ? any_source() : extended_source();
        const int b = doubleword ? any_source() : extended_source();
        int odd = destination();
        if (odd == 0) odd = 1;  // register 0 would stay a zero divisor
        emit("ori " + reg(odd) + ", " + reg(b) + ", 1");
        set(odd, extended_[b]);
        const bool sign = chance(50);
        emit(std::string(doubleword ? (sign ? "ddiv" : "ddivu") : (sign ? "div" : "divu")) +
             " $0, " + reg(a) + ", " + reg(odd));
        hi_extended_ = lo_extended_ = !doubleword;
        break;
      }
      case 10:
      case 11: {  // the operations that trap on overflow, with halved operands
        const bool doubleword = chance(50);
        const int a = halved(doubleword);
        const int op = pick(3);
        if (op == 2) {
          emit(std::string(doubleword ? "daddi " : "addi ") + reg(d) + ", " + reg(a) + ", " +
               imm16());
        } else {
          const int b = halved(doubleword);
          static const char* word_ops[] = {"add", "sub"};
          static const char* doubleword_ops[] = {"dadd", "dsub"};
          emit(std::string(doubleword ? doubleword_ops[op] : word_ops[op]) + " " + reg(d) + ", " +
               reg(a) + ", " + reg(b));
        }
        set(d, !doubleword);
        break;
      }
      default:
        emit("sync");
    }
  }

  // An aligned offset from the base for `size` bytes, anywhere in the data area.
  std::string offset(int size, bool aligned = true) {
    int value = pick(kDataBytes - size + 1) - kDataBytes / 2;
    if (aligned) value &= ~(size - 1);
    return std::to_string(value);
  }

  void load(int d) {
    static const char* ops[] = {"lb", "lbu", "lh",  "lhu", "lw", "lwu",
                                "ld", "lwl", "lwr", "ldl", "ldr"};
    static const int sizes[] = {1, 1, 2, 2, 4, 4, 8, 4, 4, 8, 8};
    const int op = pick(11);
    const bool unaligned = op >= 7;
    emit(std::string(ops[op]) + " " + reg(d) + ", " + offset(sizes[op], !unaligned) + "(" +
         reg(kBase) + ")");
    // LWL and LWR sign-extend the merged word.
    set(d, op < 5 || op == 7 || op == 8);
  }

  void store() {
    static const char* ops[] = {"sb", "sh", "sw", "sd", "swl", "swr", "sdl", "sdr"};
    static const int sizes[] = {1, 2, 4, 8, 4, 4, 8, 8};
    const int op = pick(8);
    emit(std::string(ops[op]) + " " + reg(any_source()) + ", " + offset(sizes[op], op < 4) + "(" +
         reg(kBase) + ")");
  }

  // LL or LLD, a few register operations, then SC or SCD at the same address.
  void linked_pair() {
    const bool doubleword = chance(50);
    const std::string at = offset(doubleword ? 8 : 4) + "(" + reg(kBase) + ")";
    const int d = destination();
    emit(std::string(doubleword ? "lld " : "ll ") + reg(d) + ", " + at);
    set(d, !doubleword);
    for (int n = pick(3); n > 0; --n) simple_without_memory();
    const int s = destination();
    emit(std::string(doubleword ? "scd " : "sc ") + reg(s) + ", " + at);
    set(s, true);
  }

  void simple_without_memory() {
    const int d = destination();
    const int a = any_source(), b = any_source();
    emit("xor " + reg(d) + ", " + reg(a) + ", " + reg(b));
    set(d, extended_[a] && extended_[b]);
  }

  std::string label() { return "L" + std::to_string(sequence_) + "_" + std::to_string(labels_++); }

  struct Known {
    bool registers[32];
    bool hi, lo;
  };
  Known known() const {
    Known k;
    std::copy(std::begin(extended_), std::end(extended_), k.registers);
    k.hi = hi_extended_;
    k.lo = lo_extended_;
    return k;
  }
  void set_known(const Known& k) {
    std::copy(std::begin(k.registers), std::end(k.registers), extended_);
    hi_extended_ = k.hi;
    lo_extended_ = k.lo;
  }
  // What is known on both of two ways.
  static Known both(const Known& a, const Known& b) {
    Known k;
    for (int r = 0; r < 32; ++r) k.registers[r] = a.registers[r] && b.registers[r];
    k.hi = a.hi && b.hi;
    k.lo = a.lo && b.lo;
    return k;
  }

  // A forward branch over a few instructions, its delay slot a simple one. What the skipped
  // instructions make of a register counts only where both ways agree.
  void branch() {
    struct Form {
      const char* name;
      int registers;  // compared: 2 (rs, rt) or 1 (rs)
      bool likely;
      bool links;
    };
    static const Form forms[] = {
        {"beq", 2, false, false},   {"bne", 2, false, false},   {"blez", 1, false, false},
        {"bgtz", 1, false, false},  {"bltz", 1, false, false},  {"bgez", 1, false, false},
        {"beql", 2, true, false},   {"bnel", 2, true, false},   {"blezl", 1, true, false},
        {"bgtzl", 1, true, false},  {"bltzl", 1, true, false},  {"bgezl", 1, true, false},
        {"bltzal", 1, false, true}, {"bgezal", 1, false, true}, {"bltzall", 1, true, true},
        {"bgezall", 1, true, true},
    };
    const Form& form = forms[pick(16)];
    const std::string target = label();
    // Equal operands now and then, so that the branches that compare two are also taken.
    int a = any_source();
    if (form.links && a == 31) a = 0;  // a link must not overwrite what it compares
    const int b = chance(30) ? a : any_source();
    emit(std::string(form.name) + " " + reg(a) + ", " + (form.registers == 2 ? reg(b) + ", " : "") +
         target);
    if (form.links) set(31, true);
    const Known at_branch = known();
    simple(true);  // the delay slot
    const Known after_slot = known();
    // A likely branch not taken skips its slot: what follows may count only on what holds both
    // with and without it.
    if (form.likely) set_known(both(at_branch, after_slot));
    for (int n = pick(4); n > 0; --n) simple(false);
    out_ << target << ":\n";
    set_known(both(after_slot, known()));
  }

  // J, JAL, JR or JALR over one instruction that must never run.
  void jump() {
    const std::string target = label();
    const int kind = pick(4);
    if (kind >= 2) {
      int through = destination();
      if (through == 0) through = 1;
      emit("lui " + reg(through) + ", %hi(" + target + ")");
      emit("daddiu " + reg(through) + ", " + reg(through) + ", %lo(" + target + ")");
      set(through, true);
      if (kind == 2) {
        emit("jr " + reg(through));
      } else {
        int link = destination();
        if (link == through) link = through == 31 ? 1 : 31;  // the two must differ
        emit("jalr " + reg(link) + ", " + reg(through));
        set(link, true);
      }
    } else {
      emit(std::string(kind == 0 ? "j " : "jal ") + target);
      if (kind == 1) set(31, true);
    }
    simple(true);  // the delay slot
    const Known after_slot = known();
    simple(true);  // skipped
    set_known(after_slot);
    out_ << target << ":\n";
  }

  std::mt19937_64& random_;
  std::ostringstream& out_;
  int sequence_;
  bool extended_[32];
  bool hi_extended_, lo_extended_;
  bool single_ = false;
  int emitted_ = 0;
  int labels_ = 0;
};

// The values a sequence starts with: often sign-extended words, now and then an edge.
uint64_t random_value(std::mt19937_64& random) {
  static const uint64_t edges[] = {0,
                                   1,
                                   UINT64_MAX,
                                   0x7FFFFFFF,
                                   0xFFFFFFFF80000000,
                                   0x80000000,
                                   0x8000000000000000,
                                   0x7FFFFFFFFFFFFFFF};
  switch (random() % 4) {
    case 0:
      return edges[random() % std::size(edges)];
    case 1:
      return random();
    default:
      return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(random())));
  }
}

// The whole program: for each sequence, its data and registers put in place, its body, then its
// registers and data saved; at the end the saved blocks written to standard output. Both runs
// stop at kFinish, which a run under Korvel does as a breakpoint, never executing the system call.
SequenceProgram write_program(uint64_t seed) {
  std::mt19937_64 random(seed);
  std::ostringstream text, data;
  text << "        .set noreorder\n        .set noat\n        .set nomacro\n        .text\n"
          "        .globl _start\n_start:\n        j begin\n        nop\n"
       << finish_and_exit(kSequences * kBlockBytes);
  data << "        .data\n        .align 3\n";
  SequenceProgram program;
  for (int i = 0; i < kSequences; ++i) {
    const std::string in = "in" + std::to_string(i);
    data << in << ":\n";
    for (int b = 0; b < kDataBytes / 8; ++b) data << "        .dword " << random() << "\n";
    uint64_t initial[kSavedRegisters];
    for (uint64_t& value : initial) value = random_value(random);
    initial[0] = 0;
    for (const uint64_t value : initial) data << "        .dword " << value << "\n";

    text << "        lui $29, %hi(" << in << ")\n        daddiu $29, $29, %lo(" << in << ")\n"
         << "        lui $30, %hi(area + 128)\n        daddiu $30, $30, %lo(area + 128)\n";
    for (int b = 0; b < kDataBytes / 8; ++b) {
      text << "        ld $1, " << 8 * b << "($29)\n        sd $1, " << 8 * b - 128 << "($30)\n";
    }
    text << "        ld $1, " << kDataBytes + 8 * 32 << "($29)\n        mthi $1\n"
         << "        ld $1, " << kDataBytes + 8 * 33 << "($29)\n        mtlo $1\n";
    for (int r = 1; r < 32; ++r) {
      if (r != 29 && r != kBase)
        text << "        ld $" << r << ", " << kDataBytes + 8 * r << "($29)\n";
    }
    text << "        ld $29, " << kDataBytes + 8 * 29 << "($29)\n";
    // The base holds the data area's middle, whatever the table says: an address, sign-extended.
    initial[kBase] = 0;

    SequenceWriter writer(random, text, i, initial);
    writer.body(kBodyLength);
    program.instructions += writer.emitted();

    for (int r = 0; r < 32; ++r) text << "        sd $" << r << ", " << 128 + 8 * r << "($30)\n";
    text << "        mfhi $1\n        sd $1, " << 128 + 8 * 32 << "($30)\n"
         << "        mflo $1\n        sd $1, " << 128 + 8 * 33 << "($30)\n"
         << "        lui $29, %hi(results + " << i * kBlockBytes << ")\n"
         << "        daddiu $29, $29, %lo(results + " << i * kBlockBytes << ")\n";
    for (int b = 0; b < kBlockBytes / 8; ++b) {
      text << "        ld $1, " << 8 * b - 128 << "($30)\n        sd $1, " << 8 * b << "($29)\n";
    }
  }
  text << "        j finish\n        nop\n";
  program.source = text.str() + data.str() + "        .bss\n        .align 3\narea: .space " +
                   std::to_string(kBlockBytes) + "\nresults: .space " +
                   std::to_string(kSequences * kBlockBytes) + "\n";
  return program;
}

// The doubleword at `offset` of a sequence's block.
std::string name_of(int offset) {
  if (offset < kDataBytes) return "data byte " + std::to_string(offset);
  const int n = (offset - kDataBytes) / 8;
  return n < 32 ? "$" + std::to_string(n) : n == 32 ? "hi" : "lo";
}

class QemuDifferential : public CoreTest {};

TEST_F(QemuDifferential, RandomSequencesEndWithTheRegistersAndDataQemuGives) {
  const uint64_t seeds[] = {0x4B6F7276656C, 2, 3};
  const int instructions = compare_seeded_sequences(seeds, write_program,
                                                    {kSequences, kBlockBytes, name_of}, {}, [this] {
                                                      reset_all_state();
                                                      set_host(&recorder);
                                                    });
  std::cout << "compared " << std::size(seeds) * kSequences << " sequences of " << instructions
            << " instructions with qemu-mips64 -cpu R4000\n";
}

}  // namespace
