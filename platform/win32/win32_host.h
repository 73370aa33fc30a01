#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/desktop/desktop_host.h"

// The core's host in the Win32 desktop program. The main window belongs to the thread that made
// it, so other threads' requests are posted to it; a message box request keeps its caller waiting
// until the box is dismissed. The main window's procedure hands the posted messages to
// `on_posted_message`.
class Win32Host final : public DesktopHost {
 public:
  // Create on the window thread. `main_window` owns the message boxes and carries the title.
  explicit Win32Host(HWND main_window);

  void message_box(const char* caption, const char* text) override;
  void set_title(const char* text) override;
  // Window thread only: shows every message box requested from another thread and not shown yet.
  void serve_pending_requests() override;

  // Window thread only: runs `work` once the messages posted to the main window before it have
  // been handled; never if the window is destroyed first.
  void call_later(std::function<void()> work);

  // Carries out a request posted to the main window; false for any other message.
  bool on_posted_message(UINT message);

 private:
  bool on_window_thread() const { return GetCurrentThreadId() == window_thread_; }

  HWND main_window_;
  DWORD window_thread_;
  std::mutex title_mutex_;
  std::string pending_title_;
  std::deque<std::function<void()>> later_;
};
