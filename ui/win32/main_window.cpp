#include "ui/win32/main_window.h"

#include <vector>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "platform/win32/menu.h"
#include "platform/win32/template_dialog.h"
#include "resources/menu.h"
#include "ui/win32/open_rom_dialog.h"

namespace {

constexpr const char* kClassName = "Korvel";
constexpr UINT_PTR kCountTitleTimer = 1;

bool register_window_class(WNDPROC procedure) {
  static const bool registered = [procedure] {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, kMenuName);
    window_class.hIconSm = static_cast<HICON>(
        LoadImageA(instance, kMenuName, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kClassName;
    return RegisterClassExA(&window_class) != 0;
  }();
  return registered;
}

}  // namespace

MainWindow::MainWindow() {
  if (!register_window_class(procedure)) return;
  CreateWindowExA(WS_EX_ACCEPTFILES, kClassName, shared.title_text.c_str(), WS_OVERLAPPEDWINDOW,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                  build_menu_bar(kMenuBar), GetModuleHandleA(nullptr), this);
  if (!window_) return;
  window_dc_ = GetDC(window_);
  host_ = std::make_unique<Win32Host>(window_);
  set_host(host_.get());
  SetTimer(window_, kCountTitleTimer, DesktopCommands::kCountTitleInterval.count(), nullptr);
}

MainWindow::~MainWindow() {
  // Nothing may ask this window for a message box once it is gone.
  execution.end_run_thread();
  if (window_) DestroyWindow(window_);
  if (&host() == host_.get()) set_host(nullptr);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<MainWindow*>(
        reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
    created->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* main_window = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!main_window) return DefWindowProcA(window, message, wparam, lparam);
  return main_window->on_message(message, wparam, lparam);
}

LRESULT MainWindow::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
  if (host_ && host_->on_posted_message(message)) return 0;
  switch (message) {
    case WM_COMMAND:
      commands_.on_command(LOWORD(wparam));
      return 0;
    case WM_PAINT:
      paint();
      return 0;
    case WM_TIMER:
      if (wparam == kCountTitleTimer) commands_.refresh_count_title();
      return 0;
    case WM_DROPFILES:
      drop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_DPICHANGED: {
      // The window keeps its place on the new monitor at that monitor's scale.
      const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // Gives the ROM up, which first ends the run thread, showing any message box it is waiting
      // on.
      commands_.window_closing();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kCountTitleTimer);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      return 0;
  }
  return DefWindowProcA(window_, message, wparam, lparam);
}

void MainWindow::paint() {
  PAINTSTRUCT paint;
  BeginPaint(window_, &paint);
  // Each line covers what it is drawn over, as the rate line does the first header line.
  SetBkMode(window_dc_, OPAQUE);
  SetBkColor(window_dc_, GetSysColor(COLOR_WINDOW));
  SetTextColor(window_dc_, GetSysColor(COLOR_WINDOWTEXT));
  // The rows are pixels at 96 DPI, as Qt counts them too; the font grows with the monitor's DPI,
  // and so do the rows.
  const int dpi = static_cast<int>(GetDpiForWindow(window_));
  for (const StatusLine& line : commands_.status_lines())
    TextOutA(window_dc_, 0, MulDiv(line.y, dpi, USER_DEFAULT_SCREEN_DPI), line.text.c_str(),
             static_cast<int>(line.text.size()));
  EndPaint(window_, &paint);
  commands_.painted();
}

void MainWindow::drop(HDROP files) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(files, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::string path(DragQueryFileA(files, i, nullptr, 0), '\0');
    DragQueryFileA(files, i, path.data(), static_cast<UINT>(path.size() + 1));
    paths.push_back(path);
  }
  DragFinish(files);
  commands_.drop(paths);
}

bool MainWindow::is_checked(int id) const {
  return GetMenuState(GetMenu(window_), id, MF_BYCOMMAND) & MF_CHECKED;
}

void MainWindow::set_checked(int id, bool checked) {
  CheckMenuItem(GetMenu(window_), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::set_enabled(int id, bool enabled) {
  EnableMenuItem(GetMenu(window_), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::invalidate() {
  InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::close_window() {
  SendMessageA(window_, WM_CLOSE, 0, 0);
}

std::string MainWindow::choose_rom_file() {
  return ::choose_rom_file(window_);
}

void MainWindow::run_modal_dialog(const char* name, DialogProcedure& procedure) {
  ::run_modal_dialog(name, procedure, window_);
}

void MainWindow::open_modeless_dialog(const char* name, DialogProcedure& procedure) {
  ::open_modeless_dialog(name, procedure, window_);
}

void MainWindow::set_run_thread_priority(RunPriority priority) {
  host_->set_run_thread_priority(priority);
}
