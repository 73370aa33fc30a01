#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "resources/dialog_templates.h"

namespace {

const DialogTemplate& named(const char* name) {
  const DialogTemplate* found = find_dialog_template(name);
  if (!found) throw std::runtime_error(std::string("no template ") + name);
  return *found;
}

const ControlTemplate* find_control(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& control : dialog.controls)
    if (control.id == id) return &control;
  return nullptr;
}

std::string describe(const ControlTemplate& control) {
  return std::to_string(control.id) + " \"" + control.text + "\" " + std::to_string(control.x) +
         "," + std::to_string(control.y) + "," + std::to_string(control.width) + "," +
         std::to_string(control.height);
}

TEST(DialogTemplates, CarryTheirTitleSizeFontAndPlace) {
  struct Expected {
    const char* name;
    const char* title;
    int x, y, width, height;
    const char* font;
  };
  const Expected expected[] = {
      {"COMMANDS", "Commands", 0, 0, 275, 210, "Courier"},
      {"GPR_REGS", "General Purpose Registers", 0, 0, 339, 234, "MS Sans Serif"},
      {"CP0_REGS", "CP0 Registers", 0, 0, 231, 234, "MS Sans Serif"},
      {"FPR_REGS", "Floating Point Registers", 0, 0, 231, 234, "MS Sans Serif"},
      {"ROM", "ROM Info", 20, 20, 170, 50, "MS Sans Serif"},
      {"ABOUT", "About Korvel", 20, 20, 389, 127, "MS Sans Serif"},
  };
  ASSERT_EQ(std::size(kDialogTemplates), std::size(expected));
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    const DialogTemplate& dialog = named(e.name);
    EXPECT_STREQ(dialog.title, e.title);
    EXPECT_EQ(dialog.x, e.x);
    EXPECT_EQ(dialog.y, e.y);
    EXPECT_EQ(dialog.width, e.width);
    EXPECT_EQ(dialog.height, e.height);
    EXPECT_STREQ(dialog.font, e.font);
    EXPECT_EQ(dialog.point_size, 8);
    EXPECT_TRUE(dialog.style & kDialogCloseBox);
  }
}

TEST(DialogTemplates, IdsAreUniqueAndControlsLieInsideTheirDialog) {
  for (const DialogTemplate& dialog : kDialogTemplates) {
    SCOPED_TRACE(dialog.name);
    std::set<int> ids;
    for (const ControlTemplate& control : dialog.controls) {
      if (control.id != kNoId) {
        EXPECT_TRUE(ids.insert(control.id).second) << control.id;
      }
      EXPECT_GE(control.x, 0) << describe(control);
      EXPECT_GE(control.y, 0) << describe(control);
      EXPECT_LE(control.x + control.width, dialog.width) << describe(control);
      EXPECT_LE(control.y + control.height, dialog.height) << describe(control);
    }
  }
}

TEST(DialogTemplates, LookupIgnoresCase) {
  EXPECT_EQ(find_dialog_template("About"), &named("ABOUT"));
  EXPECT_EQ(find_dialog_template("gpr_regs"), &named("GPR_REGS"));
  EXPECT_EQ(find_dialog_template("Rom"), &named("ROM"));
  EXPECT_EQ(find_dialog_template("ABOUTS"), nullptr);
  EXPECT_EQ(find_dialog_template("ABOU"), nullptr);
  EXPECT_EQ(find_dialog_template(""), nullptr);
}

TEST(CommandsTemplate, ListsItsControlsInTemplateOrder) {
  std::string all;
  for (const ControlTemplate& control : named("COMMANDS").controls) all += describe(control) + "\n";
  EXPECT_EQ(all,
            "1 \"OK\" 218,6,50,14\n"
            "1103 \"\" 7,6,206,197\n"
            "1105 \"- 256\" 218,23,50,14\n"
            "1106 \"+ 256\" 218,38,50,14\n"
            "-1 \"Current PC:\" 220,72,44,9\n"
            "1107 \"\" 218,82,50,14\n"
            "1017 \"&Step\" 218,55,50,14\n");
  const DialogTemplate& commands = named("COMMANDS");
  EXPECT_EQ(find_control(commands, 1)->kind, ControlKind::kDefaultPushButton);
  EXPECT_EQ(find_control(commands, 1103)->kind, ControlKind::kListBox);
  EXPECT_EQ(find_control(commands, 1103)->style,
            kStyleBorder | kStyleVerticalScroll | kStyleTabStop);
  EXPECT_EQ(find_control(commands, 1107)->style,
            kStyleBorder | kStyleReadOnly | kStyleAutoHorizontalScroll | kStyleTabStop);
}

struct RegisterWindow {
  const char* name;
  int r0, r15, r16, r17, r30, r31, pc;
};

const RegisterWindow kRegisterWindows[] = {
    {"GPR_REGS", 1001, 1016, 1020, 1021, 1034, 1019, 1018},
    {"CP0_REGS", 1035, 1050, 1051, 1052, 1065, 1066, 1067},
    {"FPR_REGS", 1068, 1083, 1100, 1099, 1086, 1085, 1084},
};

TEST(RegisterTemplates, NumberTheirFieldsAsTabled) {
  for (const RegisterWindow& window : kRegisterWindows) {
    SCOPED_TRACE(window.name);
    const DialogTemplate& dialog = named(window.name);
    const std::pair<int, int> field_at[] = {{window.r0, 5},   {window.r15, 197}, {window.r16, 4},
                                            {window.r17, 17}, {window.r30, 184}, {window.r31, 196}};
    for (auto [id, y] : field_at) {
      const ControlTemplate* field = find_control(dialog, id);
      ASSERT_NE(field, nullptr) << id;
      EXPECT_EQ(field->kind, ControlKind::kEdit);
      EXPECT_EQ(field->y, y) << id;
      EXPECT_EQ(field->x, id == window.r0 || id == window.r15 ? 55 : 165) << id;
      EXPECT_EQ(field->style, kStyleBorder | kStyleReadOnly | kStyleAutoHorizontalScroll);
    }
    const ControlTemplate* pc = find_control(dialog, window.pc);
    ASSERT_NE(pc, nullptr);
    EXPECT_EQ(describe(*pc), std::to_string(window.pc) + " \"\" 20,216,66,14");
    EXPECT_EQ(describe(*find_control(dialog, kIdStep)), "1017 \"Step\" 93,216,50,14");
    EXPECT_EQ(describe(*find_control(dialog, kIdOk)), "1 \"Close\" 146,216,50,14");
    EXPECT_EQ(find_control(dialog, kIdOk)->kind, ControlKind::kDefaultPushButton);
  }
}

TEST(RegisterTemplates, FprFieldsOfTheUpperColumnDescend) {
  const DialogTemplate& fpr = named("FPR_REGS");
  for (int reg = 16; reg < 31; ++reg) {
    const int id = kFprFieldIds.field(reg);
    EXPECT_EQ(id, 1100 - (reg - 16));
    EXPECT_NE(find_control(fpr, id), nullptr) << reg;
  }
}

TEST(RegisterTemplates, LabelEachRegisterToTheLeftOfItsField) {
  for (const RegisterWindow& window : kRegisterWindows) {
    SCOPED_TRACE(window.name);
    const auto controls = named(window.name).controls;
    std::set<int> field_ids;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const std::string text = controls[i].text;
      if (text.rfind("Register ", 0) != 0) continue;
      const int reg = std::stoi(text.substr(9));
      const int row = reg % 16;
      EXPECT_EQ(text, "Register " + std::to_string(reg) + ":");
      EXPECT_EQ(controls[i].kind, ControlKind::kRightText);
      EXPECT_EQ(controls[i].x, reg < 16 ? 8 : 118) << text;
      EXPECT_EQ(controls[i].y, 5 + 13 * row) << text;
      EXPECT_EQ(controls[i].width, 45);
      EXPECT_EQ(controls[i].height, 8);
      // The field follows its label in tab order.
      ASSERT_LT(i + 1, controls.size());
      EXPECT_EQ(controls[i + 1].x, controls[i].x + 47) << text;
      field_ids.insert(controls[i + 1].id);
    }
    EXPECT_EQ(field_ids.size(), 32u);
  }
}

TEST(RegisterTemplates, OnlyTheGprWindowHasAnEditableOpcodeField) {
  const ControlTemplate* opcode = find_control(named("GPR_REGS"), kIdOpcode);
  ASSERT_NE(opcode, nullptr);
  EXPECT_EQ(describe(*opcode), "1109 \"\" 251,121,87,14");
  EXPECT_EQ(opcode->style, kStyleBorder);
  EXPECT_EQ(find_control(named("CP0_REGS"), kIdOpcode), nullptr);
  EXPECT_EQ(find_control(named("FPR_REGS"), kIdOpcode), nullptr);
}

TEST(RomTemplate, HasTwoReadOnlyFieldsOutOfTheTabOrder) {
  const DialogTemplate& rom = named("ROM");
  ASSERT_EQ(rom.controls.size(), 4u);
  EXPECT_EQ(describe(rom.controls[0]), "-1 \"ROM Name:\" 16,8,45,8");
  EXPECT_EQ(describe(rom.controls[1]), "-1 \"Manufacturer:\" 16,24,45,8");
  EXPECT_EQ(describe(rom.controls[2]), "1001 \"\" 65,7,90,12");
  EXPECT_EQ(describe(rom.controls[3]), "1002 \"\" 65,23,90,12");
  for (int i : {0, 1}) EXPECT_EQ(rom.controls[i].kind, ControlKind::kRightText);
  for (int i : {2, 3})
    EXPECT_EQ(rom.controls[i].style, kStyleBorder | kStyleReadOnly | kStyleNoTabStop);
}

TEST(AboutTemplate, HasTheVersionNineFurtherLinesAndThePicture) {
  const DialogTemplate& about = named("ABOUT");
  ASSERT_EQ(about.controls.size(), 11u);
  EXPECT_EQ(describe(about.controls[0]), "9 \"Korvel " KORVEL_VERSION "\" 40,12,100,8");
  const int line_y[] = {22, 32, 42, 52, 67, 77, 87, 97, 107};
  for (int line = 0; line < 9; ++line) {
    const ControlTemplate& label = about.controls[1 + line];
    EXPECT_EQ(label.id, 10 + line);
    EXPECT_EQ(label.kind, ControlKind::kLeftText);
    EXPECT_EQ(label.x, 40);
    EXPECT_EQ(label.y, line_y[line]);
    EXPECT_EQ(label.width, 100);
    EXPECT_EQ(label.height, 8);
    EXPECT_NE(std::string_view(label.text), "");
  }
  EXPECT_STREQ(about.controls[9].text, "MIT License.");
  const ControlTemplate& picture = about.controls[10];
  EXPECT_EQ(picture.kind, ControlKind::kPicture);
  EXPECT_EQ(describe(picture), "-1 \"108\" 143,12,241,101");
}

}  // namespace
