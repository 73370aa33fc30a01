#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/shared/log_lines.h"
#include "ui/shared/screen_view.h"
#include "ui/win32/class_window.h"

class DesktopHost;

// The console machine's Screen window, of the window class "KorvelScreen": the picture the console
// shows, refreshed at its field rate and scaled to the window; with focus, the keyboard is
// controller 1. Its close box hides it.
class ScreenWindow final : public ClassWindow {
 public:
  // Created hidden, owned by `owner`.
  explicit ScreenWindow(HWND owner);

  // The picture it draws.
  const VideoPicture& picture() const { return view_.picture(); }

 private:
  LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;
  void refresh();
  // The refresh timer at the loaded cartridge's field rate.
  void keep_refresh_rate();
  void paint();

  ScreenView view_;
  UINT refresh_milliseconds_ = 0;
  // The picture as StretchDIBits takes it: 32-bit pixels, blue first, rows from the top.
  std::vector<uint8_t> pixels_;
};

// The Log window beside it, of the window class "KorvelLog": the program's debug output in a
// read-only edit control. Its close box hides it.
class LogWindow final : public ClassWindow {
 public:
  // Created hidden, owned by `owner`, to the right of `beside`.
  LogWindow(DesktopHost& host, HWND owner, HWND beside);
  ~LogWindow() override;

  // The edit control that shows the text.
  HWND text_box() const { return text_box_; }

 private:
  LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;
  void take_new_text();
  void use_message_font();

  DesktopHost& host_;
  LogLines lines_;
  HWND text_box_ = nullptr;
  HFONT font_ = nullptr;  // the text box's, at the window's DPI
};
