#include "tests/ui/win32/win32_desktop_driver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/template_dialog.h"
#include "resources/dialog_templates.h"

namespace {

// The driver of the window thread's hook; one at a time.
Win32DesktopDriver* hooked_driver = nullptr;

constexpr int kMessageBoxText = 0xFFFF;  // the static control that holds a message box's text

bool is_template_title(const std::string& title) {
  return std::any_of(std::begin(kDialogTemplates), std::end(kDialogTemplates),
                     [&](const DialogTemplate& t) { return title == t.title; });
}

bool is_class(HWND window, const char* name) {
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof(class_name));
  return _stricmp(class_name, name) == 0;
}

bool is_dialog(HWND window) {
  return is_class(window, "#32770");
}

// A control's device context with the font the control draws its text in.
class WithFont {
 public:
  explicit WithFont(HWND control)
      : control_(control),
        context_(GetDC(control)),
        previous_(SelectObject(context_,
                               reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)))) {}
  ~WithFont() {
    SelectObject(context_, previous_);
    ReleaseDC(control_, context_);
  }
  WithFont(const WithFont&) = delete;
  WithFont& operator=(const WithFont&) = delete;

  // How far `text` advances, in pixels.
  int width(const std::string& text) const {
    SIZE size{};
    GetTextExtentPoint32A(context_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  HWND control_;
  HDC context_;
  HGDIOBJ previous_;
};

class Win32DialogProbe final : public DialogProbe {
 public:
  explicit Win32DialogProbe(HWND dialog) : dialog_(dialog) {}

  std::string text(int id) override { return text_of(GetDlgItem(dialog_, id)); }
  std::vector<std::string> lines(int id) override {
    std::vector<std::string> lines;
    const LRESULT count = SendDlgItemMessageA(dialog_, id, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
      std::string line(SendDlgItemMessageA(dialog_, id, LB_GETTEXTLEN, row, 0), '\0');
      SendDlgItemMessageA(dialog_, id, LB_GETTEXT, row, reinterpret_cast<LPARAM>(line.data()));
      lines.push_back(line);
    }
    return lines;
  }
  std::set<int> advances(int id) override {
    std::set<int> widths;
    const HWND list = GetDlgItem(dialog_, id);
    WithFont drawn(list);
    for (const std::string& line : lines(id))
      for (char c : line) widths.insert(drawn.width(std::string(1, c)));
    return widths;
  }
  std::vector<std::string> texts_wider_than_their_labels() override {
    std::vector<std::string> texts;
    for (HWND control = GetWindow(dialog_, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      const LONG_PTR kind = GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK;
      if (!is_class(control, "Static") || (kind != SS_LEFT && kind != SS_RIGHT)) continue;
      const std::string text = text_of(control);
      RECT client;
      GetClientRect(control, &client);
      if (WithFont(control).width(text) > client.right) texts.push_back(text);
    }
    return texts;
  }
  int picture_width() override {
    int width = 0;
    EnumChildWindows(
        dialog_,
        [](HWND control, LPARAM found) {
          auto bitmap =
              reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
          BITMAP info;
          if (bitmap && GetObjectA(bitmap, sizeof(info), &info))
            *reinterpret_cast<int*>(found) = info.bmWidth;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&width));
    return width;
  }
  // A click as the button sends it; cancel as the dialog manager sends it for Escape.
  void press(int id) override {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
  }

 private:
  HWND dialog_;
};

}  // namespace

std::string text_of(HWND window) {
  std::string text(GetWindowTextLengthA(window), '\0');
  GetWindowTextA(window, text.data(), static_cast<int>(text.size() + 1));
  return text;
}

Win32DesktopDriver::Win32DesktopDriver() {
  hooked_driver = this;
  hook_ = SetWindowsHookExA(WH_CBT, on_hook, nullptr, GetCurrentThreadId());
  window_ = std::make_unique<MainWindow>();
  window_->commands().use_measurement_clock(clock);
  ShowWindow(window_->handle(), SW_SHOWNORMAL);
  UpdateWindow(window_->handle());
}

Win32DesktopDriver::~Win32DesktopDriver() {
  window_.reset();
  drop_quit_message();
  UnhookWindowsHookEx(hook_);
  hooked_driver = nullptr;
}

LRESULT CALLBACK Win32DesktopDriver::on_hook(int code, WPARAM wparam, LPARAM lparam) {
  if (hooked_driver) {
    const auto window = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_CREATEWND && is_dialog(window))
      hooked_driver->created_dialogs_.push_back(window);
    if (code == HCBT_ACTIVATE && is_dialog(window)) hooked_driver->on_activated(window);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void Win32DesktopDriver::on_activated(HWND window) {
  const std::string caption = text_of(window);
  if (is_template_title(caption) || (modal_.act && caption == modal_.title)) return;
  // Activated once its controls are there: the box can be read, and is dismissed once shown.
  const HWND owner = GetWindow(window, GW_OWNER);
  boxes_.push_back(
      {caption, text_of(GetDlgItem(window, kMessageBoxText)), owner && owner == window_->handle()});
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

std::vector<HWND> Win32DesktopDriver::dialogs(const std::string& title) const {
  std::vector<HWND> found;
  for (HWND dialog : created_dialogs_)
    if (IsWindow(dialog) && IsWindowVisible(dialog) && text_of(dialog) == title &&
        GetWindow(dialog, GW_OWNER) == window_->handle())
      found.push_back(dialog);
  return found;
}

void Win32DesktopDriver::drop_quit_message() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

void Win32DesktopDriver::command(int id) {
  SendMessageA(window_->handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  drop_quit_message();
}

void Win32DesktopDriver::close() {
  SendMessageA(window_->handle(), WM_CLOSE, 0, 0);
  drop_quit_message();
}

bool Win32DesktopDriver::drop_file(const std::string& path) {
  if (!(GetWindowLongPtrA(window_->handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) return false;
  // What the shell hands a window: the file list after a DROPFILES header, ended by an empty name.
  HGLOBAL files = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
  auto* header = static_cast<DROPFILES*>(GlobalLock(files));
  header->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(header + 1), path.c_str(), path.size());
  GlobalUnlock(files);
  SendMessageA(window_->handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(files), 0);
  return true;
}

std::string Win32DesktopDriver::title() {
  return text_of(window_->handle());
}

bool Win32DesktopDriver::has_icon() {
  return GetClassLongPtrA(window_->handle(), GCLP_HICON) != 0 &&
         GetClassLongPtrA(window_->handle(), GCLP_HICONSM) != 0;
}

bool Win32DesktopDriver::is_checked(int id) {
  return GetMenuState(GetMenu(window_->handle()), id, MF_BYCOMMAND) & MF_CHECKED;
}

bool Win32DesktopDriver::is_enabled(int id) {
  return !(GetMenuState(GetMenu(window_->handle()), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void Win32DesktopDriver::paint() {
  RedrawWindow(window_->handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// The main window's count-title timer ticks while it lives, so a condition that another thread
// makes hold is looked at again within a tick.
void Win32DesktopDriver::wait_until(const std::function<bool()>& done) {
  while (!done()) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT || take_dialog_message(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!done())
      MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void CALLBACK Win32DesktopDriver::on_modal_timer(HWND, UINT, UINT_PTR, DWORD) {
  if (hooked_driver) hooked_driver->act_on_modal_dialog();
}

void Win32DesktopDriver::act_on_modal_dialog() {
  if (modal_.acted || !modal_.act) return;
  const std::vector<HWND> open = dialogs(modal_.title);
  if (open.empty()) return;
  modal_.acted = true;
  Win32DialogProbe probe(open.back());
  (*modal_.act)(probe);
  // Left open, as a failed assertion in `act` leaves it, it would hang the test.
  if (IsWindow(open.back()) && IsWindowVisible(open.back())) {
    ADD_FAILURE() << modal_.title << " was left open";
    EndDialog(open.back(), -2);
  }
}

bool Win32DesktopDriver::with_modal_dialog(int id, const std::string& title,
                                           const std::function<void(DialogProbe&)>& act) {
  modal_ = {title, &act, false};
  // A thread timer: every message loop of the thread, the dialog's own too, calls it.
  const UINT_PTR timer = SetTimer(nullptr, 0, 5, on_modal_timer);
  command(id);
  KillTimer(nullptr, timer);
  const bool acted = modal_.acted;
  modal_ = {};
  return acted;
}

std::unique_ptr<DialogProbe> Win32DesktopDriver::newest_window(const std::string& title) {
  const std::vector<HWND> open = dialogs(title);
  if (open.empty()) return nullptr;
  return std::make_unique<Win32DialogProbe>(open.back());
}

bool Win32DesktopDriver::screen_open() {
  const ScreenWindow* screen = window_->screen_window();
  return screen && IsWindowVisible(screen->handle());
}

VideoPicture Win32DesktopDriver::screen_picture() {
  return window_->screen_window() ? window_->screen_window()->picture() : VideoPicture{};
}

// The key's message as the system posts it: a first press, or a release of a key that was down.
void Win32DesktopDriver::screen_key(ScreenKey key, bool down) {
  const ScreenWindow* screen = window_->screen_window();
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(key == ScreenKey::full_speed || key == ScreenKey::d_right);
  const UINT virtual_key = key == ScreenKey::full_speed ? VK_TAB : 'L';
  const auto scan_code = static_cast<LPARAM>(MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC));
  const LPARAM transition = down ? 0 : (LPARAM{1} << 30) | (LPARAM{1} << 31);
  SendMessageA(screen->handle(), down ? WM_KEYDOWN : WM_KEYUP, virtual_key,
               1 | (scan_code << 16) | transition);
}

std::string Win32DesktopDriver::log_text() {
  if (!window_->log_window()) return "";
  std::string text = text_of(window_->log_window()->text_box());
  for (std::size_t line_end = text.find("\r\n"); line_end != std::string::npos;
       line_end = text.find("\r\n", line_end + 1))
    text.erase(line_end, 1);
  return text;
}
