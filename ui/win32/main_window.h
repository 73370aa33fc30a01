#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "platform/win32/win32_host.h"
#include "ui/shared/desktop_commands.h"

// The program's only top-level window, of the window class "Korvel": the menu every action starts
// from, the title that reports what is loaded and running, and the status lines painted with
// TextOutA. It is the core's host while it lives. Window thread only.
class MainWindow final : private DesktopWindow {
 public:
  // Registers the class (once) and creates the window, not shown yet; `handle()` is null if either
  // failed.
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  DesktopCommands& commands() { return commands_; }

  // Open ROM with a path given otherwise than through the menu (the command line).
  void open_rom(const char* path) { commands_.open_rom(path); }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
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
  void set_run_thread_priority(RunPriority priority) override;
  void call_later(std::function<void()> work) override { host_->call_later(std::move(work)); }

  HWND window_ = nullptr;
  HDC window_dc_ = nullptr;  // the class's own context, kept for every paint
  std::unique_ptr<Win32Host> host_;
  DesktopCommands commands_{*this};
};
