#include "debugger/disassembler.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <set>
#include <string>

#include "tests/support/core_fixture.h"

namespace {

using DisassemblerTest = CoreTest;

std::string disassemble_word(uint32_t word, uint32_t address = 0) {
  return disassemble(word, address).c_str();
}

struct Example {
  uint32_t word;
  const char* text;
  uint32_t address = 0;
};

TEST_F(DisassemblerTest, WritesEachKnownFormExactly) {
  const Example examples[] = {
      {0x00000000, "NOP"},
      {0x00021080, "SLL"},
      {0x00095000, "NOP"},  // a shift by 0 into t2
      {0x3C088000, "LUI t0,0x8000"},
      {0x3C080000, "LUI t0,0x0"},
      {0x2508FFFF, "ADDIU t0,t0,ffff"},
      {0x2128ABCD, "ADDI t0,t1,abcd"},
      {0x3128ABCD, "ANDI t0,t1,ABCD"},
      {0x3528ABCD, "ORI t0,t1,ABCD"},
      {0x8FBF0010, "LW ra,10(sp)"},
      {0x8FBFFFFC, "LW ra,FFFC(sp)"},
      {0xAFBF00AC, "SW ra,ac(sp)"},
      {0xDFDF00AC, "LD ra,ac(s8)"},
      {0x93A80004, "LBU t0,4(1d)"},
      {0x83A8FFF0, "LB t0,fff0(sp)"},
      {0x1500FFFD, "BNEZ t0,0x4000048", 0x04000050},
      {0x1509FFFD, "BNE t0,t1,0x4000048", 0x04000050},
      {0x1109FFFD, "BEQ t0,t1,FFFD", 0x04000050},
      {0x1100FFFD, "BEQ t0,r0,FFFD", 0x04000050},
      {0x0C100100, "JAL 100100"},
      {0x08100100, "J 100100"},
      {0x0BFFFFFF, "J 3FFFFFF"},
      {0x40886000, "MTC0 Status,t0"},
      {0x40086000, "Op: 10 rs: 0"},
      {0x409FF800, "MTC0 r31,ra"},
      {0x44A00000, "COP1"},
      {0x0000002A, "Op: 0 Funct: 2A"},
      {0x00000004, "Op: 0 Funct: 4"},  // SLLV: interpreted, not disassembled
      {0x0000000D, "BREAK 0"},
      {0x03FFFFCD, "BREAK 0"},  // the break code is not carried
      {0x01095025, "OR t2,t0,t1"},
      {0x03C0F826, "XOR ra,s8,r0"},
      {0x01095027, "NOR t2,t0,t1"},
      {0x03E00008, "JR ra"},
      {0x01090018, "MULT"},
      {0x0009503F, "DSRA32"},
      {0xFFFFFFFF, "Unknown 1:3F"},
      {0x68000000, "Unknown 1:1A"},  // LDL: interpreted, not disassembled
      {0xBC000000, "Unknown 1:2F"},
  };
  for (const Example& e : examples) {
    EXPECT_EQ(disassemble_word(e.word, e.address), e.text) << std::hex << e.word;
  }
}

// The 17 primary opcodes and 33 SPECIAL functions the disassembler knows; every other value gives
// its fallback text, whatever the other fields hold.
TEST_F(DisassemblerTest, KnowsExactlyItsSubsetAndFallsBackOnTheRest) {
  const std::set<unsigned> known_primary = {0x00, 0x02, 0x03, 0x04, 0x05, 0x08, 0x09, 0x0C, 0x0D,
                                            0x0F, 0x10, 0x11, 0x20, 0x23, 0x24, 0x2B, 0x37};
  const std::set<unsigned> known_special = {0,  8,  13, 15, 16, 17, 18, 19, 20, 22, 23,
                                            24, 25, 26, 27, 30, 31, 32, 33, 36, 37, 38,
                                            39, 44, 45, 46, 47, 56, 58, 59, 60, 62, 63};
  const uint32_t fields = 0x0089A5C0;  // rs 4 (so that opcode 0x10 is MTC0), rt, rd, sa set
  char fallback[32];
  for (unsigned code = 0; code < 64; ++code) {
    std::string primary = disassemble_word(code << 26 | fields);
    std::snprintf(fallback, sizeof fallback, "Unknown 1:%X", code);
    EXPECT_FALSE(primary.empty()) << code;
    EXPECT_EQ(primary == fallback, !known_primary.count(code)) << code << ": " << primary;

    std::string special = disassemble_word(fields | code);
    std::snprintf(fallback, sizeof fallback, "Op: 0 Funct: %X", code);
    EXPECT_FALSE(special.empty()) << code;
    EXPECT_EQ(special == fallback, !known_special.count(code)) << code << ": " << special;
  }
}

TEST_F(DisassemblerTest, BranchTargetKeepsTheLow32BitsOfTheAddressSum) {
  const Example cases[] = {
      {0x15090000, "BNE t0,t1,0x0", 0xFFFFFFFC},
      {0x15097FFF, "BNE t0,t1,0x1FFFC", 0xFFFFFFFC},
      {0x15098000, "BNE t0,t1,0xFFFE0004", 0x0},
      {0x1509FFFF, "BNE t0,t1,0x0", 0x0},
      {0x15090001, "BNE t0,t1,0x23456788", 0x23456780},
      {0x15000003, "BNEZ t0,0x10", 0x0},
  };
  for (const Example& c : cases) {
    EXPECT_EQ(disassemble_word(c.word, c.address), c.text) << std::hex << c.address;
  }
}

TEST(RegisterNames, FollowTheConventionalAndArchitecturalNames) {
  const char* gpr[32] = {"r0", "at", "v0", "v1", "a0", "a1", "a2", "a3", "t0", "t1", "t2",
                         "t3", "t4", "t5", "t6", "t7", "s0", "s1", "s2", "s3", "s4", "s5",
                         "s6", "s7", "t8", "t9", "k0", "k1", "gp", "sp", "s8", "ra"};
  const char* cp0[32] = {
      "Index",    "Random", "EntryLo0", "EntryLo1", "Context",  "PageMask", "Wired",    "r7",
      "BadVAddr", "Count",  "EntryHi",  "Compare",  "Status",   "Cause",    "EPC",      "PRevID",
      "Config",   "LLAddr", "WatchLo",  "WatchHi",  "XContext", "r21",      "r22",      "r23",
      "r24",      "r25",    "PErr",     "CacheErr", "TagLo",    "TagHi",    "ErrorEPC", "r31"};
  for (unsigned n = 0; n < 32; ++n) {
    EXPECT_STREQ(gpr_name(n), gpr[n]) << n;
    EXPECT_STREQ(cp0_name(n), cp0[n]) << n;
  }
  for (unsigned n : {32u, 1000u, UINT_MAX}) {
    EXPECT_STREQ(gpr_name(n), "Unknown") << n;
    EXPECT_STREQ(cp0_name(n), "Unknown") << n;
  }
}

}  // namespace
