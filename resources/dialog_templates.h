#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

// The six dialog templates. Sizes and positions are in dialog units: a quarter of the template
// font's average character width across, an eighth of its height down.

enum class ControlKind {
  kPushButton,
  kDefaultPushButton,  // Enter presses it
  kListBox,
  kEdit,
  kLeftText,
  kRightText,
  kPicture,  // shows the bitmap resource its text names, at the bitmap's own size
};

inline constexpr unsigned kStyleBorder = 1u << 0;
inline constexpr unsigned kStyleReadOnly = 1u << 1;
inline constexpr unsigned kStyleVerticalScroll = 1u << 2;
inline constexpr unsigned kStyleAutoHorizontalScroll = 1u << 3;
// A control with neither tab-stop bit keeps its kind's usual behaviour: buttons, lists and edit
// fields take the focus, texts and pictures do not.
inline constexpr unsigned kStyleTabStop = 1u << 4;
inline constexpr unsigned kStyleNoTabStop = 1u << 5;

inline constexpr int kNoId = -1;

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  unsigned style;
};

inline constexpr unsigned kDialogCloseBox = 1u << 0;

inline constexpr const char* kFontCourier = "Courier";  // fixed pitch, for the listing's columns
inline constexpr const char* kFontSansSerif = "MS Sans Serif";

struct DialogTemplate {
  const char* name;
  const char* title;
  int x, y;  // from the top left corner of the owner's client area
  int width, height;
  const char* font;
  int point_size;
  unsigned style;
  std::span<const ControlTemplate> controls;
};

// The commands the platform itself sends: Enter in a dialog without a default button sends OK;
// the Escape key and the caption's close box send cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Control ids the window procedures address.
inline constexpr int kIdListing = 1103;
inline constexpr int kIdListingBack = 1105;
inline constexpr int kIdListingForward = 1106;
inline constexpr int kIdListingPc = 1107;
inline constexpr int kIdStep = 1017;
inline constexpr int kIdOpcode = 1109;
inline constexpr int kIdRomName = 1001;
inline constexpr int kIdRomManufacturer = 1002;
inline constexpr int kIdAboutTitle = 9;
inline constexpr const char* kAboutBitmap = "108";

// Where each register window keeps its value fields: registers 0 to 15 ascending from
// `first_low`, registers 16 to 30 stepping by `high_step` from `first_high`, then register 31 and
// the program counter on their own.
struct RegisterFieldIds {
  int first_low;
  int first_high;
  int high_step;
  int register_31;
  int pc;

  constexpr int field(int reg) const {
    if (reg < 16) return first_low + reg;
    if (reg < 31) return first_high + (reg - 16) * high_step;
    return register_31;
  }
};

inline constexpr RegisterFieldIds kGprFieldIds{1001, 1020, 1, 1019, 1018};
inline constexpr RegisterFieldIds kCp0FieldIds{1035, 1051, 1, 1066, 1067};
inline constexpr RegisterFieldIds kFprFieldIds{1068, 1100, -1, 1085, 1084};

namespace register_layout {

struct LabelText {
  char text[13];  // "Register 31:" and its terminator
};

constexpr std::array<LabelText, 32> label_texts() {
  std::array<LabelText, 32> labels{};
  for (int reg = 0; reg < 32; ++reg) {
    char* out = labels[reg].text;
    for (char c : std::string_view("Register ")) *out++ = c;
    if (reg >= 10) *out++ = static_cast<char>('0' + reg / 10);
    *out++ = static_cast<char>('0' + reg % 10);
    *out = ':';
  }
  return labels;
}

inline constexpr std::array<LabelText, 32> kLabelTexts = label_texts();
inline constexpr int kLabelX[2] = {8, 118};
inline constexpr int kFieldX[2] = {55, 165};
inline constexpr int kFieldY[2][16] = {
    {5, 17, 29, 41, 54, 67, 81, 94, 107, 120, 133, 146, 159, 172, 184, 197},
    {4, 17, 30, 43, 56, 68, 81, 94, 107, 120, 132, 145, 158, 171, 184, 196},
};
inline constexpr unsigned kValueFieldStyle =
    kStyleBorder | kStyleReadOnly | kStyleAutoHorizontalScroll;

// Each register's label and field in register order, then the program counter and the buttons,
// then whatever the window adds.
template <std::size_t Extra>
constexpr std::array<ControlTemplate, 2 * 32 + 4 + Extra> controls(
    const RegisterFieldIds& ids, const std::array<ControlTemplate, Extra>& extra) {
  std::array<ControlTemplate, 2 * 32 + 4 + Extra> all{};
  std::size_t n = 0;
  for (int reg = 0; reg < 32; ++reg) {
    const int column = reg / 16;
    const int row = reg % 16;
    const char* label = kLabelTexts[reg].text;
    all[n++] = {kNoId, ControlKind::kRightText, label, kLabelX[column], 5 + 13 * row, 45, 8, 0};
    const int field_id = ids.field(reg);
    const int field_x = kFieldX[column];
    const int field_y = kFieldY[column][row];
    all[n++] = {field_id, ControlKind::kEdit, "", field_x, field_y, 54, 12, kValueFieldStyle};
  }
  all[n++] = {kNoId, ControlKind::kLeftText, "PC:", 6, 219, 12, 8, 0};
  all[n++] = {ids.pc, ControlKind::kEdit, "", 20, 216, 66, 14, kStyleReadOnly};
  all[n++] = {kIdStep, ControlKind::kPushButton, "Step", 93, 216, 50, 14, 0};
  all[n++] = {kIdOk, ControlKind::kDefaultPushButton, "Close", 146, 216, 50, 14, 0};
  for (const ControlTemplate& control : extra) all[n++] = control;
  return all;
}

}  // namespace register_layout

inline constexpr ControlTemplate kCommandsControls[] = {
    {kIdOk, ControlKind::kDefaultPushButton, "OK", 218, 6, 50, 14, 0},
    {kIdListing, ControlKind::kListBox, "", 7, 6, 206, 197,
     kStyleBorder | kStyleVerticalScroll | kStyleTabStop},
    {kIdListingBack, ControlKind::kPushButton, "- 256", 218, 23, 50, 14, 0},
    {kIdListingForward, ControlKind::kPushButton, "+ 256", 218, 38, 50, 14, 0},
    {kNoId, ControlKind::kLeftText, "Current PC:", 220, 72, 44, 9, 0},
    {kIdListingPc, ControlKind::kEdit, "", 218, 82, 50, 14,
     kStyleBorder | kStyleReadOnly | kStyleAutoHorizontalScroll | kStyleTabStop},
    {kIdStep, ControlKind::kPushButton, "&Step", 218, 55, 50, 14, 0},
};

inline constexpr auto kGprControls = register_layout::controls<2>(
    kGprFieldIds, {{
                      {kNoId, ControlKind::kLeftText, "Current Opcode:", 222, 124, 31, 8, 0},
                      {kIdOpcode, ControlKind::kEdit, "", 251, 121, 87, 14, kStyleBorder},
                  }});
inline constexpr auto kCp0Controls = register_layout::controls<0>(kCp0FieldIds, {});
inline constexpr auto kFprControls = register_layout::controls<0>(kFprFieldIds, {});

inline constexpr unsigned kRomFieldStyle = kStyleBorder | kStyleReadOnly | kStyleNoTabStop;

inline constexpr ControlTemplate kRomControls[] = {
    {kNoId, ControlKind::kRightText, "ROM Name:", 16, 8, 45, 8, 0},
    {kNoId, ControlKind::kRightText, "Manufacturer:", 16, 24, 45, 8, 0},
    {kIdRomName, ControlKind::kEdit, "", 65, 7, 90, 12, kRomFieldStyle},
    {kIdRomManufacturer, ControlKind::kEdit, "", 65, 23, 90, 12, kRomFieldStyle},
};

// KORVEL_VERSION comes from the build, which takes it from the top CMakeLists.txt. The texts are
// broken into lines short enough for their labels, which would otherwise cut them (Win32 wraps a
// label's text inside it) or let them run over the picture (Qt).
inline constexpr ControlTemplate kAboutControls[] = {
    {kIdAboutTitle, ControlKind::kLeftText, "Korvel " KORVEL_VERSION, 40, 12, 100, 8, 0},
    {10, ControlKind::kLeftText, "An emulator of the", 40, 22, 100, 8, 0},
    {11, ControlKind::kLeftText, "Nintendo 64, with a", 40, 32, 100, 8, 0},
    {12, ControlKind::kLeftText, "debugger: R4300i code", 40, 42, 100, 8, 0},
    {13, ControlKind::kLeftText, "runs freely or by steps.", 40, 52, 100, 8, 0},
    {14, ControlKind::kLeftText, "The Debug menu opens", 40, 67, 100, 8, 0},
    {15, ControlKind::kLeftText, "the register windows", 40, 77, 100, 8, 0},
    {16, ControlKind::kLeftText, "and instruction listing.", 40, 87, 100, 8, 0},
    {17, ControlKind::kLeftText, "(c) The Korvel developers.", 40, 97, 100, 8, 0},
    {18, ControlKind::kLeftText, "MIT License.", 40, 107, 100, 8, 0},
    {kNoId, ControlKind::kPicture, kAboutBitmap, 143, 12, 241, 101, 0},
};

inline constexpr DialogTemplate kDialogTemplates[] = {
    {"COMMANDS", "Commands", 0, 0, 275, 210, kFontCourier, 8, kDialogCloseBox, kCommandsControls},
    {"GPR_REGS", "General Purpose Registers", 0, 0, 339, 234, kFontSansSerif, 8, kDialogCloseBox,
     kGprControls},
    {"CP0_REGS", "CP0 Registers", 0, 0, 231, 234, kFontSansSerif, 8, kDialogCloseBox, kCp0Controls},
    {"FPR_REGS", "Floating Point Registers", 0, 0, 231, 234, kFontSansSerif, 8, kDialogCloseBox,
     kFprControls},
    {"ROM", "ROM Info", 20, 20, 170, 50, kFontSansSerif, 8, kDialogCloseBox, kRomControls},
    {"ABOUT", "About Korvel", 20, 20, 389, 127, kFontSansSerif, 8, kDialogCloseBox, kAboutControls},
};

// Whether the template asks for the fixed-pitch font, in which every character advances alike.
constexpr bool has_fixed_pitch_font(const DialogTemplate& dialog_template) {
  return std::string_view(dialog_template.font) == kFontCourier;
}

// Template names are matched without regard to case, so "About" finds "ABOUT".
constexpr const DialogTemplate* find_dialog_template(std::string_view name) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const DialogTemplate& candidate : kDialogTemplates) {
    std::string_view candidate_name = candidate.name;
    if (candidate_name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i)
      same = lower(candidate_name[i]) == lower(name[i]);
    if (same) return &candidate;
  }
  return nullptr;
}
