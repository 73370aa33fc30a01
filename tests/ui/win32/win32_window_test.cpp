// What only the Win32 program has: dialogs laid out by the dialog manager from in-memory
// templates, the icon among the program's resources, and GetOpenFileNameA.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "debugger/debugger_state.h"
#include "machine/machine_state.h"
#include "memory/rom_image.h"
#include "platform/win32/template_dialog.h"
#include "resources/dialog_templates.h"
#include "resources/menu.h"
#include "tests/ui/win32/win32_desktop_driver.h"

namespace {

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_all_state();
    driver = std::make_unique<Win32DesktopDriver>();
  }
  void TearDown() override {
    driver.reset();
    reset_all_state();
  }

  std::unique_ptr<Win32DesktopDriver> driver;
};

class IgnoringProcedure final : public DialogProcedure {
 public:
  bool on_command(Dialog&, int) override { return false; }
};

TEST_F(Win32WindowTest, EveryTemplateIsLaidOutInDialogUnits) {
  IgnoringProcedure procedure;
  const HWND owner = driver->window().handle();
  for (const DialogTemplate& dialog_template : kDialogTemplates) {
    const HWND dialog = open_modeless_dialog(dialog_template.name, procedure, owner);
    ASSERT_NE(dialog, nullptr) << dialog_template.name;
    EXPECT_EQ(text_of(dialog), dialog_template.title);
    RECT client;
    GetClientRect(dialog, &client);
    RECT size{0, 0, dialog_template.width, dialog_template.height};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right) << dialog_template.name;
    EXPECT_EQ(client.bottom, size.bottom) << dialog_template.name;
    // The template's position is the dialog's client area's, counted from the owner's.
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    RECT position{dialog_template.x, dialog_template.y, 0, 0};
    MapDialogRect(dialog, &position);
    POINT expected{position.left, position.top};
    ClientToScreen(owner, &expected);
    EXPECT_EQ(origin.x, expected.x) << dialog_template.name;
    EXPECT_EQ(origin.y, expected.y) << dialog_template.name;
    for (const ControlTemplate& control : dialog_template.controls) {
      if (control.id == kNoId) continue;
      // The dialog manager converts the position and the size each on its own.
      RECT units{control.x, control.y, control.width, control.height};
      MapDialogRect(dialog, &units);
      const RECT expected_rect{units.left, units.top, units.left + units.right,
                               units.top + units.bottom};
      RECT rect;
      const HWND item = GetDlgItem(dialog, control.id);
      ASSERT_NE(item, nullptr) << dialog_template.name << ' ' << control.id;
      GetWindowRect(item, &rect);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
      EXPECT_TRUE(EqualRect(&rect, &expected_rect)) << dialog_template.name << ' ' << control.id;
    }
    DestroyWindow(dialog);
  }
}

// The last line a list box can scroll to.
int scroll_range(HWND window) {
  SCROLLINFO info{sizeof(info), SIF_RANGE, 0, 0, 0, 0, 0};
  GetScrollInfo(window, SB_VERT, &info);
  return info.nMax;
}

// The scroll range of `list` at each line inserted into it while it lives.
class InsertionWatch {
 public:
  explicit InsertionWatch(HWND list) : list_(list) {
    watch_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, on_message, nullptr, GetCurrentThreadId());
  }
  ~InsertionWatch() {
    UnhookWindowsHookEx(hook_);
    watch_ = nullptr;
  }
  InsertionWatch(const InsertionWatch&) = delete;
  InsertionWatch& operator=(const InsertionWatch&) = delete;

  std::vector<int> scroll_ranges;

 private:
  static LRESULT CALLBACK on_message(int code, WPARAM wparam, LPARAM lparam) {
    const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (watch_ && sent.hwnd == watch_->list_ && sent.message == LB_INSERTSTRING)
      watch_->scroll_ranges.push_back(scroll_range(sent.hwnd));
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  static inline InsertionWatch* watch_ = nullptr;
  HWND list_;
  HHOOK hook_;
};

// Drawn after each line, with its scroll bar, a page took seconds to go in. While the next page
// goes in nothing of the list is drawn: its scroll bar stands as the last page left it. Then the
// whole list is drawn once.
TEST_F(Win32WindowTest, APageOfTheListingIsDrawnOnceItIsIn) {
  driver->open_rom(sample_rom("demo.z64"));
  driver->command(kCmdCommandsWindow);
  const std::vector<HWND> open = driver->dialogs("Commands");
  ASSERT_EQ(open.size(), 1u);
  const HWND listing = GetDlgItem(open.front(), kIdListing);
  UpdateWindow(listing);
  const int page_range = scroll_range(listing);
  EXPECT_EQ(page_range, 256);  // the header and 256 words
  std::vector<int> ranges;
  {
    InsertionWatch watch(listing);
    SendMessageA(open.front(), WM_COMMAND, MAKEWPARAM(kIdListingForward, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(open.front(), kIdListingForward)));
    ranges = watch.scroll_ranges;
  }
  EXPECT_EQ(ranges, std::vector<int>(257, page_range));
  EXPECT_EQ(scroll_range(listing), page_range);
  RECT due;
  RECT client;
  ASSERT_TRUE(GetUpdateRect(listing, &due, FALSE));
  GetClientRect(listing, &client);
  EXPECT_TRUE(EqualRect(&due, &client));
}

TEST_F(Win32WindowTest, TheIconIsAResourceOfThirtyTwoPixels) {
  const auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), kMenuName, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP mask;
  GetObjectA(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  DestroyIcon(icon);
}

// The combo box of file types in the system's file dialog (cmb1 of <dlgs.h>), and the file name
// field (cmb13, or edt1 in older dialogs).
constexpr int kFileTypes = 0x470;
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

std::vector<std::string> combo_texts(HWND combo) {
  std::vector<std::string> texts;
  const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::string text(SendMessageA(combo, CB_GETLBTEXTLEN, i, 0), '\0');
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    texts.push_back(text);
  }
  return texts;
}

TEST_F(Win32WindowTest, OpenRomOffersTheRomFiltersAndLoadsTheChosenFile) {
  // The file dialog takes the path as Windows writes it: Wine's drive Z: is the Linux root.
  std::string rom_path = "Z:" + sample_rom("spin.v64");
  std::replace(rom_path.begin(), rom_path.end(), '/', '\\');
  bool shown = false;
  driver->with_modal_dialog(kCmdOpenRom, "Open", [&](DialogProbe&) {
    const std::vector<HWND> open = driver->dialogs("Open");
    ASSERT_FALSE(open.empty());
    const HWND dialog = open.back();
    shown = true;
    const HWND types = GetDlgItem(dialog, kFileTypes);
    EXPECT_EQ(combo_texts(types),
              (std::vector<std::string>{"N64 roms (*.v64,*.bin,*.n64", "All files (*.*)"}));
    EXPECT_EQ(SendMessageA(types, CB_GETCURSEL, 0, 0), 0);
    const HWND name = GetDlgItem(dialog, kFileNameCombo) ? GetDlgItem(dialog, kFileNameCombo)
                                                         : GetDlgItem(dialog, kFileNameEdit);
    SetWindowTextA(name, rom_path.c_str());
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  EXPECT_TRUE(shown);
  EXPECT_EQ(rom.rom_loaded, 1);
  EXPECT_EQ(text_of(driver->window().handle()), "Korvel - " + rom_path);
  EXPECT_TRUE(driver->boxes().empty());
}

}  // namespace
