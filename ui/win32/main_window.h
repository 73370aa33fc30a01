#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "platform/win32/win32_host.h"
#include "ui/shared/desktop_commands.h"
#include "ui/win32/class_window.h"
#include "ui/win32/screen_window.h"

// The program's main window, of the window class "Korvel": the menu every action starts from, the
// title that reports what is loaded and running, and the status lines painted with TextOutA. It is
// the core's host while it lives, and owns the other top-level windows. Window thread only.
class MainWindow final : public ClassWindow, private DesktopWindow {
 public:
  // Registers the class (once) and creates the window, not shown yet; `handle()` is null if either
  // failed.
  MainWindow();
  ~MainWindow() override;

  DesktopCommands& commands() { return commands_; }
  // The Screen and Log windows, null until the console machine's first opens them.
  ScreenWindow* screen_window() const { return screen_window_.get(); }
  LogWindow* log_window() const { return log_window_.get(); }

  // Open ROM with a path given otherwise than through the menu (the command line).
  void open_rom(const char* path) { commands_.open_rom(path); }

 private:
  LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;
  void paint();
  void drop(HDROP files);

  bool is_checked(int id) const override;
  void set_checked(int id, bool checked) override;
  void set_enabled(int id, bool enabled) override;
  void invalidate() override;
  void close_window() override;
  std::string choose_rom_file() override;
  void run_modal_dialog(const char* name, DialogProcedure& procedure) override;
  void open_modeless_dialog(const char* name, DialogProcedure& procedure) override;
  void open_screen_window() override;
  void set_run_thread_priority(RunPriority priority) override;
  void call_later(std::function<void()> work) override { host_->call_later(std::move(work)); }
  void post_gdb_turn() override;

  HDC window_dc_ = nullptr;  // the class's own context, kept for every paint
  std::unique_ptr<Win32Host> host_;
  DesktopCommands commands_{*this};
  std::unique_ptr<ScreenWindow> screen_window_;
  std::unique_ptr<LogWindow> log_window_;
};
