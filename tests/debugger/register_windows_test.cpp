#include "debugger/register_windows.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "cpu/cpu_state.h"
#include "debugger/disassembler.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"
#include "resources/dialog_templates.h"
#include "tests/support/core_fixture.h"
#include "tests/support/program_rom.h"
#include "tests/support/recording_dialog.h"

namespace {

using Kind = RegisterWindowKind;
using Ids = std::set<int>;

struct KindTemplate {
  const char* name;
  const RegisterFieldIds& ids;
};

const KindTemplate& template_of(Kind kind) {
  static const KindTemplate templates[] = {
      {"GPR_REGS", kGprFieldIds}, {"CP0_REGS", kCp0FieldIds}, {"FPR_REGS", kFprFieldIds}};
  return templates[static_cast<int>(kind)];
}

double with_bits(uint64_t bits) {
  return std::bit_cast<double>(bits);
}

// A register window without a display, opened on construction and destroyed with the object.
class RegisterWindow {
 public:
  explicit RegisterWindow(Kind kind)
      : dialog(*find_dialog_template(template_of(kind).name)),
        ids_(template_of(kind).ids),
        procedure_(register_window_procedure(kind)) {
    procedure_.on_init(dialog);
  }
  ~RegisterWindow() { procedure_.on_destroy(dialog); }

  bool press(int id) { return procedure_.on_command(dialog, id); }
  std::string field(int reg) const { return dialog.text(ids_.field(reg)); }
  std::string pc() const { return dialog.text(ids_.pc); }
  std::string opcode() const { return dialog.text(kIdOpcode); }
  uint32_t value(int reg) const {
    return static_cast<uint32_t>(std::stoul(field(reg), nullptr, 16));
  }
  // The register (0 to 31) and PC (32) fields drawn highlighted.
  std::set<int> highlighted() const {
    std::set<int> slots;
    for (int reg = 0; reg < 32; ++reg)
      if (dialog.highlighted(ids_.field(reg))) slots.insert(reg);
    if (dialog.highlighted(ids_.pc)) slots.insert(32);
    return slots;
  }

  RecordingDialog dialog;

 private:
  const RegisterFieldIds& ids_;
  DialogProcedure& procedure_;
};

class RegisterWindows : public CoreTest {
 protected:
  void load(const std::string& source) { ASSERT_EQ(load_program_rom(dir, source), 1); }

  TempDir dir;
};

TEST_F(RegisterWindows, GprWindowAfterALoadShowsTheBootState) {
  load("nop");
  shared.message_text().set("before");
  RegisterWindow gpr(Kind::gpr);
  EXPECT_EQ(gpr.field(29), "a4001ffc");
  EXPECT_EQ(gpr.field(20), "1");
  EXPECT_EQ(gpr.field(22), "3f");
  EXPECT_EQ(gpr.field(0), "0");
  EXPECT_EQ(gpr.pc(), "4000040");
  EXPECT_EQ(gpr.opcode(), "before");  // the carrier's text as it was, not a disassembly
  EXPECT_EQ(shared.message_text().c_str(), std::string("4000040"));
  EXPECT_TRUE(gpr.dialog.ignored_ids().empty());
}

TEST_F(RegisterWindows, ShowEachRegistersLowWordInLowerCaseHex) {
  struct Case {
    uint64_t bits;
    const char* shown;
  };
  const Case cases[] = {
      {0xFFFFFFFF00000000, "0"},  // only the upper half set
      {0x12345678ABCDEF01, "abcdef01"}, {0x0000000080000000, "80000000"},
      {0x3FF0000000000000, "0"},  // the double 1.0
      {0x3FF0000000000001, "1"},  // the next double up
      {0x8000000000000000, "0"},  // -0.0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    for (int reg : {0, 17, 31}) {
      cpu.gpr[reg] = c.bits;
      cpu.cp0[reg] = c.bits;
      cpu.fpr[reg] = with_bits(c.bits);
    }
    for (Kind kind : {Kind::gpr, Kind::cp0, Kind::fpr}) {
      RegisterWindow window(kind);
      for (int reg : {0, 17, 31}) EXPECT_EQ(window.field(reg), c.shown) << reg;
    }
  }
}

TEST_F(RegisterWindows, EachRegisterGoesToItsOwnField) {
  struct Field {
    Kind kind;
    int reg;  // 32 for the program counter
    int id;
  };
  const Field fields[] = {
      {Kind::gpr, 0, 1001},  {Kind::gpr, 15, 1016}, {Kind::gpr, 16, 1020}, {Kind::gpr, 30, 1034},
      {Kind::gpr, 31, 1019}, {Kind::gpr, 32, 1018}, {Kind::cp0, 0, 1035},  {Kind::cp0, 15, 1050},
      {Kind::cp0, 16, 1051}, {Kind::cp0, 30, 1065}, {Kind::cp0, 31, 1066}, {Kind::cp0, 32, 1067},
      {Kind::fpr, 0, 1068},  {Kind::fpr, 15, 1083}, {Kind::fpr, 16, 1100}, {Kind::fpr, 17, 1099},
      {Kind::fpr, 30, 1086}, {Kind::fpr, 31, 1085}, {Kind::fpr, 32, 1084},
  };
  // A different value in every register of every kind: 0x100 * kind + the register.
  for (int reg = 0; reg < 32; ++reg) {
    cpu.gpr[reg] = 0x100 + reg;
    cpu.cp0[reg] = 0x200 + reg;
    cpu.fpr[reg] = with_bits(0x300 + reg);
  }
  cpu.pc = 0x80001234;
  RegisterWindow gpr(Kind::gpr);
  RegisterWindow cp0(Kind::cp0);
  RegisterWindow fpr(Kind::fpr);
  const RegisterWindow* windows[] = {&gpr, &cp0, &fpr};
  for (const Field& f : fields) {
    SCOPED_TRACE(f.id);
    const auto kind = static_cast<int>(f.kind);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%x",
                  f.reg == 32 ? 0x80001234 : 0x100 * (kind + 1) + f.reg);
    EXPECT_EQ(windows[kind]->dialog.text(f.id), expected);
  }
  for (const RegisterWindow* window : windows) EXPECT_TRUE(window->dialog.ignored_ids().empty());
}

TEST_F(RegisterWindows, StepInCp0RefreshesTheGprWindowWithoutADisassembly) {
  load("addiu $t0, $zero, 7\n addiu $t1, $zero, 8");
  RegisterWindow gpr(Kind::gpr);
  RegisterWindow cp0(Kind::cp0);
  EXPECT_TRUE(cp0.press(kIdStep));
  EXPECT_EQ(gpr.field(8), "7");
  EXPECT_EQ(gpr.pc(), "4000044");
  EXPECT_EQ(gpr.opcode(), "4000040");         // the PC text the previous refresh left
  EXPECT_EQ(cp0.field(kCountRegister), "2");  // 1 at boot
  EXPECT_EQ(cp0.pc(), "4000044");

  RegisterWindow fpr(Kind::fpr);
  EXPECT_TRUE(fpr.press(kIdStep));
  EXPECT_EQ(gpr.field(9), "8");
  EXPECT_EQ(gpr.opcode(), "4000044");
  EXPECT_EQ(cp0.field(kCountRegister), "3");
}

TEST_F(RegisterWindows, StepInGprShowsTheDisassemblyWithTheTargetFromTheFetchAddress) {
  struct Case {
    const char* name;
    const char* source;
    int steps;
    const char* opcode;
    uint32_t pc_after;
  };
  const Case cases[] = {
      {"plain", "addiu $t0, $zero, 5", 1, "ADDIU t0,r0,5", 0x04000044},
      {"branch", "nop\n nop\n bne $t0, $t1, ahead\n nop\n nop\n ahead: nop", 3,
       "BNE t0,t1,0x4000054", 0x0400004C},  // not taken: t0 and t1 are both 0
      {"backward", "back: nop\n addiu $t0, $zero, 1\n bne $t0, $zero, back\n nop", 3,
       "BNEZ t0,0x4000040", 0x0400003C},  // taken: pc stops one word short of the target
      // A branch in a taken branch's delay slot is fetched from the delay slot while pc already
      // points near the first branch's target.
      {"delay slot",
       "addiu $t0, $zero, 1\n beq $zero, $zero, far\n bne $t0, $zero, near\n nop\n"
       "near: nop\n nop\n nop\n far: nop",
       3, "BNEZ t0,0x4000050", 0x0400005C},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset_all_state();
    load(c.source);
    RegisterWindow gpr(Kind::gpr);
    for (int step = 0; step < c.steps; ++step) EXPECT_TRUE(gpr.press(kIdStep));
    EXPECT_EQ(gpr.opcode(), c.opcode);
    EXPECT_EQ(cpu.pc, c.pc_after);
    EXPECT_EQ(shared.message_text().c_str(), gpr.pc());
  }
}

TEST_F(RegisterWindows, OnlyTheNewestWindowOfAKindIsFilled) {
  load("addiu $t0, $zero, 1\n addiu $t0, $zero, 2\n addiu $t0, $zero, 3");
  cpu.fpr[4] = with_bits(0xAB);
  RegisterWindow first(Kind::fpr);
  RegisterWindow second(Kind::fpr);
  first.press(kIdStep);
  EXPECT_EQ(first.pc(), "4000040");
  EXPECT_EQ(second.pc(), "4000044");
  second.press(kIdStep);
  EXPECT_EQ(first.pc(), "4000040");
  EXPECT_EQ(second.pc(), "4000048");
  EXPECT_EQ(second.field(4), "ab");
  EXPECT_EQ(cpu.gpr[8], 2u);
}

TEST_F(RegisterWindows, CloseAndCancelEndTheWindowOtherCommandsAreNotHandled) {
  for (Kind kind : {Kind::gpr, Kind::cp0, Kind::fpr}) {
    for (int id : {kIdOk, kIdCancel}) {
      RegisterWindow window(kind);
      EXPECT_FALSE(window.press(kIdOpcode));
      EXPECT_FALSE(window.press(4242));
      EXPECT_FALSE(window.dialog.result().has_value());
      EXPECT_TRUE(window.press(id));
      EXPECT_EQ(window.dialog.result(), 1);
    }
  }
  EXPECT_EQ(cpu.cp0[kCountRegister], 0u);  // nothing stepped
}

TEST_F(RegisterWindows, ChangedValuesAreHighlightedUntilTheNextRefresh) {
  load("addiu $t0, $zero, 7\n addiu $t1, $zero, 8\n addiu $t1, $zero, 8");
  RegisterWindow gpr(Kind::gpr);
  RegisterWindow cp0(Kind::cp0);
  RegisterWindow fpr(Kind::fpr);
  EXPECT_EQ(gpr.highlighted(), Ids{});
  EXPECT_EQ(cp0.highlighted(), Ids{});

  gpr.press(kIdStep);
  EXPECT_EQ(gpr.highlighted(), (Ids{8, 32}));
  EXPECT_EQ(cp0.highlighted(), (Ids{kCountRegister, 32}));
  EXPECT_EQ(fpr.highlighted(), Ids{32});
  EXPECT_FALSE(gpr.dialog.highlighted(kIdOpcode));

  fpr.press(kIdStep);
  EXPECT_EQ(gpr.highlighted(), (Ids{9, 32}));

  cp0.press(kIdStep);  // writes t1 again with the value it has
  EXPECT_EQ(gpr.highlighted(), Ids{32});

  refresh_register_windows();  // nothing changed since
  EXPECT_EQ(gpr.highlighted(), Ids{});
  EXPECT_EQ(cp0.highlighted(), Ids{});

  cpu.fpr[3] = with_bits(0x1'00000000);  // a change in the upper word is not seen
  cpu.fpr[5] = with_bits(0x5);
  refresh_register_windows();
  EXPECT_EQ(fpr.highlighted(), Ids{5});

  // A new window has nothing to compare with.
  cpu.gpr[8] = 1;
  RegisterWindow newer(Kind::gpr);
  EXPECT_EQ(newer.highlighted(), Ids{});
}

TEST_F(RegisterWindows, AClosedNewestWindowIsNoLongerFilled) {
  load("nop");
  DialogProcedure& procedure = register_window_procedure(Kind::cp0);
  RecordingDialog closed(*find_dialog_template("CP0_REGS"));
  procedure.on_init(closed);
  procedure.on_destroy(closed);
  cpu.pc = 0x80000000;
  cpu.cp0[3] = 0x33;
  refresh_register_windows();
  EXPECT_EQ(closed.text(kCp0FieldIds.pc), "4000040");
  EXPECT_EQ(closed.text(kCp0FieldIds.field(3)), "0");
  EXPECT_TRUE(closed.ignored_ids().empty());
  EXPECT_EQ(shared.message_text().c_str(), std::string("80000000"));  // the carrier ends as always
}

TEST_F(RegisterWindows, ClosingAnOlderWindowKeepsTheNewestFilled) {
  auto older = std::make_unique<RegisterWindow>(Kind::gpr);
  RegisterWindow newest(Kind::gpr);
  older.reset();
  cpu.gpr[8] = 0x42;
  refresh_register_windows();
  EXPECT_EQ(newest.field(8), "42");
}

TEST_F(RegisterWindows, RefreshAndStepDuringARunShowOneInstructionBoundary) {
  // After n instructions of the loop (Count 1 + n) t0 and t1 each hold how many times their
  // instruction ran; a refresh torn by the run thread would break that relation.
  load("loop: addiu $t0, $t0, 1\n addiu $t1, $t1, 1\n beq $zero, $zero, loop\n nop");
  // The windows show low halves: the run ends before Count passes 2^32, however fast it goes.
  InstructionLimit limit(uint64_t{1} << 31);
  shared.running = 1;
  execution.start(&limit);
  RegisterWindow gpr(Kind::gpr);
  RegisterWindow cp0(Kind::cp0);
  for (int round = 0; round < 1000; ++round) {
    if (round % 4 == 0) {
      gpr.press(kIdStep);
    } else {
      refresh_register_windows();
    }
    const uint32_t executed = cp0.value(kCountRegister) - 1;
    ASSERT_EQ(gpr.value(8), (executed + 3) / 4) << round;
    ASSERT_EQ(gpr.value(9), (executed + 2) / 4) << round;
  }
  execution.halt();
  EXPECT_GT(cpu.gpr[8], 0u);
}

}  // namespace
