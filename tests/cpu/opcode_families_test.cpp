#include <gtest/gtest.h>

#include "debugger/debugger_state.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cpu/cpu_state.h"
#include "cpu/opcode_map.h"
#include "machine/machine_state.h"
#include "tests/cpu/interpreter_fixture.h"
#include "tests/support/cpu_runner.h"

namespace {

// The encodings whose handling is the same for a whole family, executed on a register state in
// which any stray write or memory access would show: every register holds a distinct value and
// every base register an unmapped address.
class OpcodeFamilies : public InterpreterTest {
 protected:
  static constexpr uint32_t kPc = 0x04000100;

  void SetUp() override {
    InterpreterTest::SetUp();
    prepare();
  }

  void prepare() {
    reset_all_state();
    for (int i = 1; i < 32; ++i) {
      cpu.gpr[i] = 0x0000000004900000u + 0x100 * i;
      cpu.cp0[i] = 0xC0C0C0C000000000u + i;
      cpu.fpr[i] = -1.25 * i;
    }
    cpu.hi_reg = 0x4848484848484848;
    cpu.lo_reg = 0x4C4C4C4C4C4C4C4C;
    cpu.pc = kPc;
    cpu.delay_slot_pc = 0xD5D5D5D5;
    shared.running = 1;
    cpu.opcode_name.set("Reading");
    recorder.clear();
  }

  // The state as it stands, with `word` in current_instruction as executing it will leave it.
  static CpuState before(uint32_t word) {
    CpuState state = cpu;
    state.current_instruction = word;
    return state;
  }
};

constexpr uint32_t primary(uint32_t op) {
  return op << 26 | 8u << 21 | 9u << 16 | 0x0010;
}
constexpr uint32_t special(uint32_t funct) {
  return 8u << 21 | 9u << 16 | 10u << 11 | 3u << 6 | funct;
}

struct Named {
  uint32_t word;
  const char* mnemonic;
};

const Named kNotCarriedOut[] = {
    {primary(26), "LDL"},   {primary(27), "LDR"},     {primary(33), "LH"},
    {special(2), "SRL"},    {special(3), "SRA"},      {special(6), "SRLV"},
    {special(9), "JALR"},   {special(12), "SYSCALL"}, {special(13), "BREAK"},
    {special(20), "DSLLV"}, {special(22), "DSRLV"},   {special(23), "DSRAV"},
    {special(24), "MULT"},  {special(25), "MULTU"},   {special(26), "DIV"},
    {special(27), "DIVU"},  {special(31), "DDIVU"},   {special(34), "SUB"},
    {special(35), "SUBU"},  {special(48), "TGE"},     {special(49), "TGEU"},
    {special(50), "TLT"},   {special(51), "TLTU"},    {special(52), "TEQ"},
    {special(54), "TNE"},   {special(56), "DSLL"},    {special(58), "DSRL"},
    {special(59), "DSRA"},  {special(60), "DSLL32"},  {special(62), "DSRL32"},
};

const uint8_t kUnknownPrimary[] = {1,  6,  7,  10, 11, 14, 18, 19, 20, 21, 22, 23, 24, 25, 28,
                                   29, 30, 31, 34, 37, 38, 39, 40, 41, 42, 44, 45, 46, 48, 49,
                                   50, 51, 52, 53, 54, 56, 57, 58, 59, 60, 61, 62, 63};

const uint8_t kNoAdvanceSpecial[] = {1, 5, 10, 11, 14, 21, 28, 29, 40, 41, 53, 55, 57, 61};

TEST_F(OpcodeFamilies, NotCarriedOutNamesItselfAdvancesAndChangesNothingElse) {
  for (const Named& row : kNotCarriedOut) {
    SCOPED_TRACE(row.mnemonic);
    prepare();
    CpuState expected = before(row.word);
    expected.pc += 4;
    EXPECT_EQ(execute_word(row.word), -1);
    EXPECT_TRUE(same_state(expected, cpu));
    EXPECT_STREQ(cpu.opcode_name.c_str(), row.mnemonic);
    EXPECT_TRUE(recorder.messages().empty());  // no memory was touched
  }
  // Every such row of the opcode map is in the list above.
  EXPECT_EQ(std::count_if(std::begin(opcode_rows), std::end(opcode_rows),
                          [](const OpcodeRow& row) { return row.exec == exec_not_carried_out; }),
            std::size(kNotCarriedOut));
}

TEST_F(OpcodeFamilies, IgnoredOnlyAdvance) {
  for (uint32_t word : {primary(47), special(15)}) {  // CACHE, SYNC
    SCOPED_TRACE(word);
    prepare();
    CpuState expected = before(word);
    expected.pc += 4;
    EXPECT_EQ(execute_word(word), 0);
    EXPECT_TRUE(same_state(expected, cpu));
    EXPECT_STREQ(cpu.opcode_name.c_str(), "Reading");
    EXPECT_TRUE(recorder.messages().empty());
  }
}

TEST_F(OpcodeFamilies, ExactlyTheUnlistedSpecialFunctionsChangeNothing) {
  for (uint32_t funct = 0; funct < 64; ++funct) {
    SCOPED_TRACE(funct);
    prepare();
    CpuState unchanged = before(special(funct));
    int32_t result = execute_word(special(funct));
    bool listed = std::ranges::find(kNoAdvanceSpecial, funct) != std::end(kNoAdvanceSpecial);
    EXPECT_EQ(same_state(unchanged, cpu), listed);
    if (!listed) continue;
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(cpu.opcode_name.c_str(), "Reading");
  }
}

TEST_F(OpcodeFamilies, UnknownOpcodeIsReportedAndStopsTheRun) {
  cpu.cp0[kCountRegister] = 41;
  CpuState expected = before(0xFC000000);
  expected.pc += 4;
  EXPECT_EQ(execute_word(0xFC000000), -1);
  EXPECT_TRUE(same_state(expected, cpu));
  EXPECT_STREQ(cpu.opcode_name.c_str(), "Unknown");
  EXPECT_EQ(shared.running, 0);
  EXPECT_EQ(
      recorder.messages(),
      (std::vector<RecordingHost::Message>{
          {"Unknown Opcode", "Unknown opcode: 3f\n Emulation stopped at instruction number 42"}}));
}

// Counts are shown whole, as unsigned numbers: past 2^31 they neither turn negative nor wrap.
TEST_F(OpcodeFamilies, UnknownOpcodeMessageCountsAllSixtyFourBits) {
  struct Case {
    uint64_t count;
    const char* shown;
  };
  for (const Case& c : {Case{0x11, "18"}, Case{0xFFFFFFFF, "4294967296"},
                        Case{0x7FFFFFFF, "2147483648"}, Case{0x0000000500000009, "21474836490"},
                        Case{0xFFFFFFFFFFFFFFFE, "18446744073709551615"}}) {
    prepare();
    cpu.cp0[kCountRegister] = c.count;
    EXPECT_EQ(execute_word(0x04000000), -1);  // op 1, REGIMM
    EXPECT_EQ(
        recorder.messages().at(0).text,
        std::string("Unknown opcode: 1\n Emulation stopped at instruction number ") + c.shown);
  }
}

TEST_F(OpcodeFamilies, ExactlyTheUnlistedPrimaryOpcodesAreUnknown) {
  for (uint32_t op = 0; op < 64; ++op) {
    prepare();
    SCOPED_TRACE(op);
    bool listed = std::ranges::find(kUnknownPrimary, op) != std::end(kUnknownPrimary);
    const uint64_t number = cpu.cp0[kCountRegister] + 1;
    int32_t result = execute_word(primary(op));
    EXPECT_EQ(std::string(cpu.opcode_name.c_str()) == "Unknown", listed);
    if (!listed) continue;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(cpu.pc, kPc + 4);
    EXPECT_EQ(shared.running, 0);
    char text[128];
    std::snprintf(text, sizeof text,
                  "Unknown opcode: %x\n Emulation stopped at instruction number %" PRIu64, op,
                  number);
    EXPECT_EQ(recorder.messages(), (std::vector<RecordingHost::Message>{{"Unknown Opcode", text}}));
  }
}

TEST_F(OpcodeFamilies, UnknownOpcodeWithTheStopFlagClearRunsAgainSilently) {
  for (uint8_t op : kUnknownPrimary) {
    SCOPED_TRACE(static_cast<int>(op));
    prepare();
    shared.stop_on_unhandled = 0;
    CpuState expected = before(primary(op));
    EXPECT_EQ(execute_word(primary(op)), 0);
    EXPECT_TRUE(same_state(expected, cpu));
    EXPECT_STREQ(cpu.opcode_name.c_str(), "Unknown");
    EXPECT_EQ(shared.running, 1);
    EXPECT_TRUE(recorder.messages().empty());
  }
}

}  // namespace
