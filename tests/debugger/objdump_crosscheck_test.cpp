// Checks the disassembler's operands against GNU objdump's reading of the same words. The two write
// differently by design (register spellings, number bases, branch targets as offsets or
// addresses); both are read back into instruction fields, which must agree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "cpu/instr_fields.h"
#include "debugger/disassembler.h"
#include "tests/support/core_fixture.h"
#include "tests/support/host_system.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

constexpr uint32_t kRs = 0x03E00000;
constexpr uint32_t kRt = 0x001F0000;
constexpr uint32_t kRd = 0x0000F800;
constexpr uint32_t kSa = 0x000007C0;
constexpr uint32_t kImm = 0x0000FFFF;
constexpr uint32_t kTarget = 0x03FFFFFF;
constexpr uint32_t kBreakCodeBits = 0x03FFFFC0;

constexpr uint32_t primary(uint32_t op) {
  return op << 26;
}

// One encoding to try with random fields. Operand patterns name what each operand shows:
//   rs rt rd  a general register by name      #rs  the base register as a lower-case hex number
//   c0        coprocessor-0 register rd       x X  imm in lower / upper-case hex
//   0x 0X     imm as "0x" + lower / upper hex  d   imm as a signed decimal
//   T         the 26-bit target in upper hex   J   objdump's absolute jump address
//   B 0XB     a branch target address (objdump's / ours), which gives back imm
// and anything else stands for itself.
struct Row {
  const char* ours;              // our mnemonic
  uint32_t base;                 // the fixed bits
  uint32_t random;               // the fields filled at random
  const char* our_operands;      // "" when we show none
  const char* their_operands;    // nullptr: objdump's operands are not compared
  const char* theirs = nullptr;  // objdump's mnemonic, when not ours in lower case
  uint32_t nonzero = 0;          // bits of which at least one must be set
};

const Row kRows[] = {
    {"J", primary(0x02), kTarget, "T", "J"},
    {"JAL", primary(0x03), kTarget, "T", "J"},
    {"BEQ", primary(0x04), kRs | kRt | kImm, "rs,rt,X", "rs,rt,B"},
    {"BNE", primary(0x05), kRs | kRt | kImm, "rs,rt,0XB", "rs,rt,B", nullptr, kRt},
    {"BNEZ", primary(0x05), kRs | kImm, "rs,0XB", "rs,zero,B", "bne"},
    {"ADDI", primary(0x08), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"ADDIU", primary(0x09), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"ANDI", primary(0x0C), kRs | kRt | kImm, "rt,rs,X", "rt,rs,0x"},
    {"ORI", primary(0x0D), kRs | kRt | kImm, "rt,rs,X", "rt,rs,0x"},
    {"LUI", primary(0x0F), kRt | kImm, "rt,0X", "rt,0x"},
    {"MTC0", primary(0x10) | 4 << 21, kRt | kRd, "c0,rt", "rt,c0"},
    {"LB", primary(0x20), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LW", primary(0x23), kRs | kRt | kImm, "rt,X(rs)", "rt,d(rs)"},
    {"LBU", primary(0x24), kRs | kRt | kImm, "rt,x(#rs)", "rt,d(rs)"},
    {"SW", primary(0x2B), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LD", primary(0x37), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"JR", 0x08, kRs, "rs", "rs"},
    {"OR", 0x25, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"XOR", 0x26, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"NOR", 0x27, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    // Shown by mnemonic alone: only the mnemonics are compared.
    {"NOP", 0x00, kRt | kRd, "", nullptr, "sll", kRt | kRd},
    {"SLL", 0x00, kRt | kRd | kSa, "", nullptr, nullptr, kSa},
    {"BREAK", 0x0D, kBreakCodeBits, "0", nullptr},
    {"SYNC", 0x0F, 0, "", nullptr},
    {"MFHI", 0x10, kRd, "", nullptr},
    {"MTHI", 0x11, kRs, "", nullptr},
    {"MFLO", 0x12, kRd, "", nullptr},
    {"MTLO", 0x13, kRs, "", nullptr},
    {"DSLLV", 0x14, kRs | kRt | kRd, "", nullptr},
    {"DSRLV", 0x16, kRs | kRt | kRd, "", nullptr},
    {"DSRAV", 0x17, kRs | kRt | kRd, "", nullptr},
    {"MULT", 0x18, kRs | kRt, "", nullptr},
    {"MULTU", 0x19, kRs | kRt, "", nullptr},
    {"DIV", 0x1A, kRs | kRt, "", nullptr},
    {"DIVU", 0x1B, kRs | kRt, "", nullptr},
    {"DDIV", 0x1E, kRs | kRt, "", nullptr},
    {"DDIVU", 0x1F, kRs | kRt, "", nullptr},
    {"ADD", 0x20, kRs | kRt | kRd, "", nullptr},
    {"ADDU", 0x21, kRs | kRt | kRd, "", nullptr},
    {"AND", 0x24, kRs | kRt | kRd, "", nullptr},
    {"DADD", 0x2C, kRs | kRt | kRd, "", nullptr},
    {"DADDU", 0x2D, kRs | kRt | kRd, "", nullptr},
    {"DSUB", 0x2E, kRs | kRt | kRd, "", nullptr},
    {"DSUBU", 0x2F, kRs | kRt | kRd, "", nullptr},
    {"DSLL", 0x38, kRt | kRd | kSa, "", nullptr},
    {"DSRL", 0x3A, kRt | kRd | kSa, "", nullptr},
    {"DSRA", 0x3B, kRt | kRd | kSa, "", nullptr},
    {"DSLL32", 0x3C, kRt | kRd | kSa, "", nullptr},
    {"DSRL32", 0x3E, kRt | kRd | kSa, "", nullptr},
    {"DSRA32", 0x3F, kRt | kRd | kSa, "", nullptr},
};

constexpr uint32_t regimm(uint32_t rt) {
  return primary(0x01) | rt << 16;
}
constexpr uint32_t cop0(uint32_t rs) {
  return primary(0x10) | rs << 21;
}
constexpr uint32_t cop1(uint32_t rs) {
  return primary(0x11) | rs << 21;
}
constexpr uint32_t kFloatOperands = kRt | kRd | kSa;
constexpr uint32_t kCode20 = 0x03FFFFC0;
constexpr uint32_t kCode1 = 0x03FF0000;  // BREAK's first code, objdump's split
constexpr uint32_t kCode2 = 0x0000FFC0;  // BREAK's second, the traps' code

// The complete model: where 0.2c writes an encoding in full it is written the same way, so only
// the encodings whose texts the complete model adds or changes are listed. More patterns:
//   S 0xS  sa in upper hex / objdump's "0x"    C 0xC  a code or CACHE's op likewise
//   cr     a coprocessor register, f5 or $5 (objdump's $f5 or $5)
//   fd fs ft  the FPU's registers of sa, rd and rt, f5 (objdump's $f5)
//   fcr    an FPU control register, $31 (objdump's c1_fcsr, c1_fir or $5)
const Row kR4300iRows[] = {
    {"BLEZ", primary(0x06), kRs | kImm, "rs,0XB", "rs,B"},
    {"BGTZ", primary(0x07), kRs | kImm, "rs,0XB", "rs,B"},
    {"SLTI", primary(0x0A), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"SLTIU", primary(0x0B), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"XORI", primary(0x0E), kRs | kRt | kImm, "rt,rs,X", "rt,rs,0x"},
    {"BEQL", primary(0x14), kRs | kRt | kImm, "rs,rt,0XB", "rs,rt,B"},
    {"BNEL", primary(0x15), kRs | kRt | kImm, "rs,rt,0XB", "rs,rt,B"},
    {"BLEZL", primary(0x16), kRs | kImm, "rs,0XB", "rs,B"},
    {"BGTZL", primary(0x17), kRs | kImm, "rs,0XB", "rs,B"},
    {"DADDI", primary(0x18), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"DADDIU", primary(0x19), kRs | kRt | kImm, "rt,rs,x", "rt,rs,d"},
    {"LDL", primary(0x1A), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LDR", primary(0x1B), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LH", primary(0x21), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LWL", primary(0x22), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LHU", primary(0x25), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LWR", primary(0x26), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LWU", primary(0x27), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SB", primary(0x28), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SH", primary(0x29), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SWL", primary(0x2A), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SDL", primary(0x2C), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SDR", primary(0x2D), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SWR", primary(0x2E), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"CACHE", primary(0x2F), kRs | kRt | kImm, "C,x(rs)", "0xC,d(rs)", nullptr, kRt},
    {"LL", primary(0x30), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LWC1", primary(0x31), kRs | kRt | kImm, "cr,x(rs)", "cr,d(rs)"},
    {"LWC2", primary(0x32), kRs | kRt | kImm, "cr,x(rs)", "cr,d(rs)"},
    {"LLD", primary(0x34), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"LDC1", primary(0x35), kRs | kRt | kImm, "cr,x(rs)", "cr,d(rs)"},
    {"SC", primary(0x38), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SWC1", primary(0x39), kRs | kRt | kImm, "cr,x(rs)", "cr,d(rs)"},
    {"SCD", primary(0x3C), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SDC1", primary(0x3D), kRs | kRt | kImm, "cr,x(rs)", "cr,d(rs)"},
    {"SD", primary(0x3F), kRs | kRt | kImm, "rt,x(rs)", "rt,d(rs)"},
    {"SLL", 0x00, kRt | kRd | kSa, "rd,rt,S", "rd,rt,0xS", nullptr, kRt | kRd | kSa},
    {"SRL", 0x02, kRt | kRd | kSa, "rd,rt,S", "rd,rt,0xS"},
    {"SRA", 0x03, kRt | kRd | kSa, "rd,rt,S", "rd,rt,0xS"},
    {"SLLV", 0x04, kRs | kRt | kRd, "rd,rt,rs", "rd,rt,rs"},
    {"SRLV", 0x06, kRs | kRt | kRd, "rd,rt,rs", "rd,rt,rs"},
    {"SRAV", 0x07, kRs | kRt | kRd, "rd,rt,rs", "rd,rt,rs"},
    {"JALR", 0x09, kRs | 0x7800, "rd,rs", "rd,rs"},  // rd below 16
    {"JALR", 0x09 | 31 << 11, kRs, "rs", "rs"},
    {"SYSCALL", 0x0C, kCode20, "C", "0xC", nullptr, kCode20},
    {"BREAK", 0x0D, kCode1, "C", "0xC", nullptr, kCode1},
    {"MFHI", 0x10, kRd, "rd", "rd"},
    {"MTHI", 0x11, kRs, "rs", "rs"},
    {"MFLO", 0x12, kRd, "rd", "rd"},
    {"MTLO", 0x13, kRs, "rs", "rs"},
    {"DSLLV", 0x14, kRs | kRt | kRd, "rd,rt,rs", "rd,rt,rs"},
    {"MULT", 0x18, kRs | kRt, "rs,rt", "rs,rt"},
    {"MULTU", 0x19, kRs | kRt, "rs,rt", "rs,rt"},
    {"DIV", 0x1A, kRs | kRt, "r0,rs,rt", "zero,rs,rt"},
    {"DIVU", 0x1B, kRs | kRt, "r0,rs,rt", "zero,rs,rt"},
    {"DMULT", 0x1C, kRs | kRt, "rs,rt", "rs,rt"},
    {"DMULTU", 0x1D, kRs | kRt, "rs,rt", "rs,rt"},
    {"DDIV", 0x1E, kRs | kRt, "r0,rs,rt", "zero,rs,rt"},
    {"DDIVU", 0x1F, kRs | kRt, "r0,rs,rt", "zero,rs,rt"},
    {"ADD", 0x20, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"SUBU", 0x23, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"SLT", 0x2A, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"SLTU", 0x2B, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"DADDU", 0x2D, kRs | kRt | kRd, "rd,rs,rt", "rd,rs,rt"},
    {"TGE", 0x30, kRs | kRt, "rs,rt", "rs,rt"},
    {"TNE", 0x36, kRs | kRt | kCode2, "rs,rt,C", "rs,rt,0xC", nullptr, kCode2},
    {"DSLL32", 0x3C, kRt | kRd | kSa, "rd,rt,S", "rd,rt,0xS"},
    {"DSRA", 0x3B, kRt | kRd | kSa, "rd,rt,S", "rd,rt,0xS"},
    {"BLTZ", regimm(0x00), kRs | kImm, "rs,0XB", "rs,B"},
    {"BGEZL", regimm(0x03), kRs | kImm, "rs,0XB", "rs,B"},
    {"TGEI", regimm(0x08), kRs | kImm, "rs,X", "rs,d"},
    {"TNEI", regimm(0x0E), kRs | kImm, "rs,X", "rs,d"},
    {"BLTZAL", regimm(0x10), kRs | kImm, "rs,0XB", "rs,B", nullptr, kRs},
    {"BGEZALL", regimm(0x13), kRs | kImm, "rs,0XB", "rs,B"},
    {"MFC0", cop0(0), kRt | kRd, "rt,c0", "rt,c0"},
    {"DMFC0", cop0(1), kRt | kRd, "rt,c0", "rt,c0"},
    {"DMTC0", cop0(5), kRt | kRd, "rt,c0", "rt,c0"},
    {"TLBP", cop0(16) | 0x08, 0, "", nullptr},
    {"ERET", cop0(16) | 0x18, 0, "", nullptr},
    {"MFC1", cop1(0), kRt | kRd, "rt,fs", "rt,fs"},
    {"DMFC1", cop1(1), kRt | kRd, "rt,fs", "rt,fs"},
    {"CFC1", cop1(2), kRt | kRd, "rt,fcr", "rt,fcr"},
    {"MTC1", cop1(4), kRt | kRd, "rt,fs", "rt,fs"},
    {"DMTC1", cop1(5), kRt | kRd, "rt,fs", "rt,fs"},
    {"CTC1", cop1(6), kRt | kRd, "rt,fcr", "rt,fcr"},
    {"BC1F", cop1(8), kImm, "0XB", "B"},
    {"BC1T", cop1(8) | 1 << 16, kImm, "0XB", "B"},
    {"BC1FL", cop1(8) | 2 << 16, kImm, "0XB", "B"},
    {"BC1TL", cop1(8) | 3 << 16, kImm, "0XB", "B"},
    {"ADD.S", cop1(16), kFloatOperands, "fd,fs,ft", "fd,fs,ft"},
    {"SUB.D", cop1(17) | 1, kFloatOperands, "fd,fs,ft", "fd,fs,ft"},
    {"MUL.S", cop1(16) | 2, kFloatOperands, "fd,fs,ft", "fd,fs,ft"},
    {"DIV.D", cop1(17) | 3, kFloatOperands, "fd,fs,ft", "fd,fs,ft"},
    {"SQRT.S", cop1(16) | 4, kRd | kSa, "fd,fs", "fd,fs"},
    {"ABS.D", cop1(17) | 5, kRd | kSa, "fd,fs", "fd,fs"},
    {"MOV.S", cop1(16) | 6, kRd | kSa, "fd,fs", "fd,fs"},
    {"NEG.D", cop1(17) | 7, kRd | kSa, "fd,fs", "fd,fs"},
    {"ROUND.L.S", cop1(16) | 8, kRd | kSa, "fd,fs", "fd,fs"},
    {"CEIL.L.D", cop1(17) | 10, kRd | kSa, "fd,fs", "fd,fs"},
    {"TRUNC.W.D", cop1(17) | 13, kRd | kSa, "fd,fs", "fd,fs"},
    {"FLOOR.W.S", cop1(16) | 15, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.S.D", cop1(17) | 32, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.D.S", cop1(16) | 33, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.W.S", cop1(16) | 36, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.L.D", cop1(17) | 37, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.S.W", cop1(20) | 32, kRd | kSa, "fd,fs", "fd,fs"},
    {"CVT.D.L", cop1(21) | 33, kRd | kSa, "fd,fs", "fd,fs"},
    {"C.F.S", cop1(16) | 48, kRt | kRd, "fs,ft", "fs,ft"},
    {"C.UEQ.D", cop1(17) | 51, kRt | kRd, "fs,ft", "fs,ft"},
    {"C.OLT.S", cop1(16) | 52, kRt | kRd, "fs,ft", "fs,ft"},
    {"C.NGT.D", cop1(17) | 63, kRt | kRd, "fs,ft", "fs,ft"},
};

constexpr int kWordsPerRow = 64;

// Placed so that the words, and the branch targets around them, straddle the 32-bit boundary.
constexpr uint64_t kStartAddress = 0xFFFFF000;

// What a line of text says about the instruction's fields; unset fields stay empty.
struct Operands {
  std::string rs, rt, rd, c0, fd, fs, ft;
  std::optional<uint32_t> imm, target, sa, code;
  bool operator==(const Operands&) const = default;
};

std::string describe(const Operands& o) {
  auto number = [](const std::optional<uint32_t>& v) {
    return v ? std::to_string(*v) : std::string("-");
  };
  return "rs=" + o.rs + " rt=" + o.rt + " rd=" + o.rd + " c0=" + o.c0 + " fd=" + o.fd +
         " fs=" + o.fs + " ft=" + o.ft + " imm=" + number(o.imm) + " target=" + number(o.target) +
         " sa=" + number(o.sa) + " code=" + number(o.code);
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Splits at ',', '(' and ')', keeping the separators apart so that the layouts can be compared.
struct Pieces {
  std::vector<std::string> tokens;
  std::string separators;
};

Pieces split(const std::string& text) {
  Pieces p;
  std::string token;
  for (char c : text) {
    if (c == ',' || c == '(' || c == ')') {
      if (!token.empty()) p.tokens.push_back(token);
      token.clear();
      p.separators += c;
    } else {
      token += c;
    }
  }
  if (!token.empty()) p.tokens.push_back(token);
  return p;
}

// Hex digits of one letter case, without leading zeros.
std::optional<uint64_t> hex(const std::string& s, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  if (s.empty() || s.size() > 16 || (s.size() > 1 && s[0] == '0')) return std::nullopt;
  if (s.find_first_not_of(digits) != std::string::npos) return std::nullopt;
  return std::stoull(s, nullptr, 16);
}

std::optional<uint64_t> prefixed_hex(const std::string& s, bool upper) {
  if (s.rfind("0x", 0) != 0) return std::nullopt;
  return hex(s.substr(2), upper);
}

std::optional<uint32_t> signed_decimal(const std::string& s) {
  std::size_t used = 0;
  long value = 0;
  try {
    value = std::stol(s, &used);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (used != s.size() || value < -32768 || value > 32767) return std::nullopt;
  return static_cast<uint16_t>(value);
}

// The offset field that takes a branch at `address` to `destination`.
std::optional<uint32_t> branch_offset(std::optional<uint64_t> destination, uint64_t address) {
  if (!destination) return std::nullopt;
  auto distance = static_cast<int32_t>(static_cast<uint32_t>(*destination - (address + 4)));
  if (distance % 4 != 0 || distance / 4 < -32768 || distance / 4 > 32767) return std::nullopt;
  return static_cast<uint16_t>(distance / 4);
}

std::string objdump_gpr(const std::string& name) {
  if (name == "zero") return "r0";
  if (name == "fp") return "s8";
  return name;
}

// objdump's r4000 spellings of the coprocessor-0 registers, in our spelling's lower case.
std::string objdump_cp0(const std::string& name) {
  static const std::map<std::string, std::string> irregular = {
      {"c0_sr", "status"}, {"c0_prid", "previd"}, {"c0_ecc", "perr"}};
  if (auto found = irregular.find(name); found != irregular.end()) return found->second;
  if (name.rfind("c0_", 0) == 0) return name.substr(3);
  if (name.rfind("$", 0) == 0) return "r" + name.substr(1);
  return "?" + name;
}

// Puts a number into a field; false when it could not be read.
bool store(std::optional<uint32_t>& field, std::optional<uint64_t> number) {
  if (number) field = static_cast<uint32_t>(*number);
  return number.has_value();
}

// Reads one operand `token` of the kind `kind` into `o`; false when it is not of that kind.
bool read_operand(const std::string& token, const std::string& kind, bool from_objdump,
                  uint64_t address, Operands& o) {
  std::string gpr = from_objdump ? objdump_gpr(token) : token;
  if (kind == "rs") return !(o.rs = gpr).empty();
  if (kind == "rt") return !(o.rt = gpr).empty();
  if (kind == "rd") return !(o.rd = gpr).empty();
  if (kind == "c0") return !(o.c0 = from_objdump ? objdump_cp0(token) : lower(token)).empty();
  if (kind == "#rs") {
    std::optional<uint64_t> number = hex(token, false);
    if (!number || *number > 31) return false;
    o.rs = gpr_name(static_cast<unsigned>(*number));
    return true;
  }
  if (kind == "x" || kind == "X") return store(o.imm, hex(token, kind == "X"));
  if (kind == "0x" || kind == "0X") return store(o.imm, prefixed_hex(token, kind == "0X"));
  if (kind == "d") return store(o.imm, signed_decimal(token));
  if (kind == "T") return store(o.target, hex(token, true));
  if (kind == "S" || kind == "0xS") {
    return store(o.sa, kind == "S" ? hex(token, true) : prefixed_hex(token, false));
  }
  if (kind == "C" || kind == "0xC") {
    return store(o.code, kind == "C" ? hex(token, true) : prefixed_hex(token, false));
  }
  if (kind == "fd" || kind == "fs" || kind == "ft") {
    std::string& field = kind == "fd" ? o.fd : kind == "fs" ? o.fs : o.ft;
    const std::size_t f = token.find('f');
    if (f == std::string::npos) return false;
    field = token.substr(f);
    return true;
  }
  if (kind == "fcr") {
    if (token == "c1_fir") return store(o.code, 0);
    if (token == "c1_fcsr") return store(o.code, 31);
    return token.starts_with("$") && store(o.code, signed_decimal(token.substr(1)));
  }
  if (kind == "cr") {
    std::string number = token.substr(token.find_first_of("0123456789"));
    return store(o.code, std::optional<uint64_t>(std::stoull(number)));
  }
  if (kind == "J") {
    std::optional<uint64_t> destination = prefixed_hex(token, false);
    return store(o.target,
                 destination ? std::optional((*destination & 0x0FFFFFFF) >> 2) : std::nullopt);
  }
  if (kind == "B" || kind == "0XB") {
    return store(o.imm, branch_offset(prefixed_hex(token, kind == "0XB"), address));
  }
  return token == kind;
}

// Reads `text` as laid out by `pattern`; nothing when it does not fit the pattern.
std::optional<Operands> read_operands(const std::string& text, const std::string& pattern,
                                      bool from_objdump, uint64_t address) {
  Pieces got = split(text);
  Pieces want = split(pattern);
  if (got.separators != want.separators || got.tokens.size() != want.tokens.size()) {
    return std::nullopt;
  }
  Operands o;
  for (std::size_t i = 0; i < got.tokens.size(); ++i) {
    if (!read_operand(got.tokens[i], want.tokens[i], from_objdump, address, o)) return std::nullopt;
  }
  return o;
}

// One line of objdump's listing: "    addr:\tword \tmnemonic\toperands".
struct ObjdumpLine {
  uint64_t address = 0;
  uint32_t word = 0;
  std::string mnemonic, operands;
};

std::optional<ObjdumpLine> parse_objdump_line(const std::string& line) {
  unsigned long long address = 0;
  unsigned word = 0;
  char mnemonic[32] = {};
  char operands[128] = {};
  int fields =
      std::sscanf(line.c_str(), " %llx: %x %31s %127s", &address, &word, mnemonic, operands);
  if (fields < 3) return std::nullopt;
  ObjdumpLine parsed{address, word, mnemonic, operands};
  // A few pseudo-instruction spellings survive no-aliases; put the real instruction back.
  if (parsed.mnemonic == "dli") {
    parsed.mnemonic = "ori";
    parsed.operands.insert(parsed.operands.find(','), ",zero");
  } else if (parsed.mnemonic.ends_with("neg") || parsed.mnemonic.ends_with("negu")) {
    parsed.mnemonic.replace(parsed.mnemonic.find("neg"), 3, "sub");
    parsed.operands.insert(parsed.operands.find(','), ",zero");
  }
  return parsed;
}

std::vector<std::string> output_lines(const std::string& command) {
  TempDir dir;
  std::vector<std::string> lines;
  if (run_host_command(command + " > '" + host_path(dir.path() / "out") + "'") != 0) return lines;
  std::ifstream out(dir.path() / "out");
  for (std::string line; std::getline(out, line);) lines.push_back(line + "\n");
  return lines;
}

// objdump's reading of `words`, placed from kStartAddress, keyed by address.
std::map<uint64_t, ObjdumpLine> objdump_listing(const std::vector<uint32_t>& words) {
  TempDir dir;
  std::filesystem::path file = dir.write("words.bin", to_bytes(words));
  char start[32];
  std::snprintf(start, sizeof start, "0x%llx", static_cast<unsigned long long>(kStartAddress));
  std::string command = std::string("'") + KORVEL_MIPS_OBJDUMP +
                        "' -D -z -b binary -m mips:4300 -EB"
                        " -M no-aliases,gpr-names=32,cp0-names=r4000 --adjust-vma=" +
                        start + " '" + host_path(file) + "'";
  std::map<uint64_t, ObjdumpLine> listing;
  for (const std::string& line : output_lines(command)) {
    if (std::optional<ObjdumpLine> parsed = parse_objdump_line(line)) {
      listing[parsed->address] = *parsed;
    }
  }
  return listing;
}

struct Sample {
  const Row* row;
  uint32_t word;
};

std::vector<Sample> random_samples(std::span<const Row> rows) {
  std::mt19937 random(0x4B6F7276);
  std::vector<Sample> samples;
  for (const Row& row : rows) {
    for (int i = 0; i < kWordsPerRow; ++i) {
      uint32_t word;
      do {
        word = row.base | (static_cast<uint32_t>(random()) & row.random);
      } while (row.nonzero && !(word & row.nonzero));
      samples.push_back({&row, word});
    }
  }
  // Mixed, so that every row meets addresses on both sides of the 32-bit boundary.
  std::shuffle(samples.begin(), samples.end(), random);
  return samples;
}

// What is wrong with our text against objdump's line; empty when they agree.
std::string disagreement(const Row& row, uint64_t address, const std::string& ours,
                         const ObjdumpLine& theirs) {
  std::size_t blank = ours.find(' ');
  std::string our_mnemonic = ours.substr(0, blank);
  std::string our_operands = blank == std::string::npos ? "" : ours.substr(blank + 1);
  std::string their_mnemonic = row.theirs ? row.theirs : lower(row.ours);
  if (our_mnemonic != row.ours) return "our mnemonic is not " + std::string(row.ours);
  if (theirs.mnemonic != their_mnemonic) return "objdump's mnemonic is not " + their_mnemonic;
  std::optional<Operands> our_fields =
      read_operands(our_operands, row.our_operands, false, address);
  if (!our_fields) return "our operands do not read as " + std::string(row.our_operands);
  if (!row.their_operands) return "";
  std::optional<Operands> their_fields =
      read_operands(theirs.operands, row.their_operands, true, address);
  if (!their_fields) return "objdump's operands do not read as " + std::string(row.their_operands);
  if (*our_fields != *their_fields) {
    return "ours read " + describe(*our_fields) + ", objdump's " + describe(*their_fields);
  }
  return "";
}

class ObjdumpCrossCheck : public CoreTest {};

// Random words of each of `rows`, read by `model`.
void check_against_objdump(std::span<const Row> rows, CpuModel model) {
  std::vector<Sample> samples = random_samples(rows);
  std::vector<uint32_t> words;
  for (const Sample& s : samples) words.push_back(s.word);
  std::map<uint64_t, ObjdumpLine> listing = objdump_listing(words);
  ASSERT_EQ(listing.size(), samples.size()) << "objdump did not list every word";

  int compared = 0;
  int with_operands = 0;
  int disagreements = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Sample& sample = samples[i];
    uint64_t address = kStartAddress + 4 * i;
    auto line = listing.find(address);
    ASSERT_NE(line, listing.end()) << std::hex << address;
    ASSERT_EQ(line->second.word, sample.word) << std::hex << address;

    std::string ours = disassemble(sample.word, static_cast<uint32_t>(address), model).c_str();
    std::string problem = disagreement(*sample.row, address, ours, line->second);
    ++compared;
    with_operands += sample.row->their_operands != nullptr;
    if (!problem.empty() && ++disagreements <= 20) {
      ADD_FAILURE() << std::hex << "word " << sample.word << " at " << address << ": \"" << ours
                    << "\" vs objdump \"" << line->second.mnemonic << " " << line->second.operands
                    << "\": " << problem;
    }
  }
  EXPECT_EQ(disagreements, 0);
  std::cout << "compared " << compared << " words with objdump (" << with_operands
            << " with operands, " << rows.size() << " rows)\n";
}

TEST_F(ObjdumpCrossCheck, OperandsAndMnemonicsAgreeWithObjdump) {
  check_against_objdump(kRows, CpuModel::v02c);
}

TEST_F(ObjdumpCrossCheck, TheCompleteModelsOwnTextsAgreeWithObjdump) {
  check_against_objdump(kR4300iRows, CpuModel::r4300i);
}

}  // namespace
