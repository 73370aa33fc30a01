#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "tests/ui/shared/desktop_driver.h"
#include "ui/win32/main_window.h"

// The Win32 main window, shown, as the shared desktop cases drive it: through its messages, as the
// system delivers them. A CBT hook of the window thread sees every dialog the program creates and
// every message box it activates; the boxes are recorded and dismissed at once.
class Win32DesktopDriver final : public DesktopDriver {
 public:
  Win32DesktopDriver();
  ~Win32DesktopDriver() override;

  MainWindow& window() { return *window_; }
  // The dialogs the program created, oldest first, that are still open.
  std::vector<HWND> dialogs(const std::string& title) const;

  void command(int id) override;
  void open_rom(const std::string& path) override { window_->open_rom(path.c_str()); }
  bool drop_file(const std::string& path) override;
  void close() override;
  std::string title() override;
  bool has_icon() override;
  bool is_checked(int id) override;
  bool is_enabled(int id) override;
  bool is_open() override { return window_->handle() && IsWindowVisible(window_->handle()); }
  std::vector<StatusLine> status_lines() override { return window_->commands().status_lines(); }
  void paint() override;
  const std::vector<ShownBox>& boxes() override { return boxes_; }
  void wait_until(const std::function<bool()>& done) override;
  bool with_modal_dialog(int id, const std::string& title,
                         const std::function<void(DialogProbe&)>& act) override;
  int open_windows(const std::string& title) override {
    return static_cast<int>(dialogs(title).size());
  }
  std::unique_ptr<DialogProbe> newest_window(const std::string& title) override;
  bool screen_open() override;
  VideoPicture screen_picture() override;
  void screen_key(ScreenKey key, bool down) override;
  std::string log_text() override;
  DesktopCommands& commands() override { return window_->commands(); }

 private:
  struct ModalAction {
    std::string title;
    const std::function<void(DialogProbe&)>* act;
    bool acted;
  };

  static LRESULT CALLBACK on_hook(int code, WPARAM wparam, LPARAM lparam);
  static void CALLBACK on_modal_timer(HWND, UINT, UINT_PTR, DWORD);
  void on_activated(HWND window);
  void act_on_modal_dialog();
  // The quit message the window posts as it is destroyed would end the next modal loop here.
  void drop_quit_message();

  std::unique_ptr<MainWindow> window_;
  HHOOK hook_ = nullptr;
  std::vector<HWND> created_dialogs_;
  std::vector<ShownBox> boxes_;
  ModalAction modal_{};
};

// A window's text: a title, a control's text.
std::string text_of(HWND window);
