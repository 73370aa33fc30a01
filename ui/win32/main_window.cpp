#include "ui/win32/main_window.h"

#include <vector>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "memory/bus.h"
#include "platform/win32/menu.h"
#include "platform/win32/template_dialog.h"
#include "resources/menu.h"
#include "ui/win32/open_rom_dialog.h"

namespace {

constexpr const char* kClassName = "Korvel";
constexpr UINT_PTR kCountTitleTimer = 1;
// Past the host's own posted messages.
constexpr UINT kGdbTurn = WM_APP + 16;

}  // namespace

MainWindow::MainWindow() {
  WNDCLASSEXA window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kClassName;
  create(window_class, WS_EX_ACCEPTFILES, shared.title_text.c_str(), WS_OVERLAPPEDWINDOW, nullptr,
         build_menu_bar(menu_bar_for(bus.console)));
  if (!handle()) return;
  window_dc_ = GetDC(handle());
  host_ = std::make_unique<Win32Host>(handle());
  set_host(host_.get());
  SetTimer(handle(), kCountTitleTimer, DesktopCommands::kCountTitleInterval.count(), nullptr);
  commands_.window_made();
}

MainWindow::~MainWindow() {
  commands_.end_gdb();
  // Nothing may ask this window for a message box once it is gone.
  execution.end_run_thread();
  // Its last messages post the quit message; the Screen and Log windows go with it.
  destroy();
  if (&host() == host_.get()) set_host(nullptr);
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
    case kGdbTurn:
      commands_.gdb_turn();
      return 0;
    case WM_TIMER:
      if (wparam == kCountTitleTimer) commands_.refresh_count_title();
      return 0;
    case WM_DROPFILES:
      drop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_DPICHANGED:
      follow_dpi_change(lparam);
      return 0;
    case WM_CLOSE:
      // Gives the ROM up, which first ends the run thread, showing any message box it is waiting
      // on.
      commands_.window_closing();
      DestroyWindow(handle());
      return 0;
    case WM_DESTROY:
      KillTimer(handle(), kCountTitleTimer);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(handle(), message, wparam, lparam);
}

void MainWindow::post_gdb_turn() {
  PostMessageA(handle(), kGdbTurn, 0, 0);
}

void MainWindow::paint() {
  PAINTSTRUCT paint;
  BeginPaint(handle(), &paint);
  // Each line covers what it is drawn over, as the rate line does the first header line.
  SetBkMode(window_dc_, OPAQUE);
  SetBkColor(window_dc_, GetSysColor(COLOR_WINDOW));
  SetTextColor(window_dc_, GetSysColor(COLOR_WINDOWTEXT));
  // The rows are pixels at 96 DPI, as Qt counts them too; the font grows with the monitor's DPI,
  // and so do the rows.
  for (const StatusLine& line : commands_.status_lines())
    TextOutA(window_dc_, 0, scaled_for(handle(), line.y), line.text.c_str(),
             static_cast<int>(line.text.size()));
  EndPaint(handle(), &paint);
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
  return GetMenuState(GetMenu(handle()), id, MF_BYCOMMAND) & MF_CHECKED;
}

void MainWindow::set_checked(int id, bool checked) {
  CheckMenuItem(GetMenu(handle()), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::set_enabled(int id, bool enabled) {
  EnableMenuItem(GetMenu(handle()), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::invalidate() {
  InvalidateRect(handle(), nullptr, TRUE);
}

void MainWindow::close_window() {
  SendMessageA(handle(), WM_CLOSE, 0, 0);
}

std::string MainWindow::choose_rom_file() {
  return ::choose_rom_file(handle());
}

void MainWindow::run_modal_dialog(const char* name, DialogProcedure& procedure) {
  ::run_modal_dialog(name, procedure, handle());
}

void MainWindow::open_modeless_dialog(const char* name, DialogProcedure& procedure) {
  ::open_modeless_dialog(name, procedure, handle());
}

void MainWindow::open_screen_window() {
  if (!screen_window_) screen_window_ = std::make_unique<ScreenWindow>(handle());
  if (!log_window_)
    log_window_ = std::make_unique<LogWindow>(*host_, handle(), screen_window_->handle());
  ShowWindow(log_window_->handle(), SW_SHOWNA);
  ShowWindow(screen_window_->handle(), SW_SHOW);
  SetForegroundWindow(screen_window_->handle());
}

void MainWindow::set_run_thread_priority(RunPriority priority) {
  host_->set_run_thread_priority(priority);
}
