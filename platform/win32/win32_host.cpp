#include "platform/win32/win32_host.h"

namespace {

constexpr UINT kServeMessageBoxes = WM_APP + 1;
constexpr UINT kShowTitle = WM_APP + 2;
constexpr UINT kCallLater = WM_APP + 3;

}  // namespace

Win32Host::Win32Host(HWND main_window)
    : main_window_(main_window), window_thread_(GetCurrentThreadId()) {}

void Win32Host::message_box(const char* caption, const char* text) {
  if (on_window_thread()) {
    MessageBoxA(main_window_, text, caption, MB_OK);
    return;
  }
  // Posted, never sent: the window thread may be waiting for this thread, and serves the box from
  // serve_pending_requests meanwhile.
  post_message_box(caption, text, [this] { PostMessageA(main_window_, kServeMessageBoxes, 0, 0); });
}

void Win32Host::serve_pending_requests() {
  serve_message_boxes([this](const std::string& caption, const std::string& text) {
    MessageBoxA(main_window_, text.c_str(), caption.c_str(), MB_OK);
  });
}

void Win32Host::set_title(const char* text) {
  if (on_window_thread()) {
    SetWindowTextA(main_window_, text);
    return;
  }
  // SetWindowTextA from another thread would wait for the window thread: the newest title is left
  // for it instead.
  {
    std::lock_guard lock(title_mutex_);
    pending_title_ = text;
  }
  PostMessageA(main_window_, kShowTitle, 0, 0);
}

void Win32Host::call_later(std::function<void()> work) {
  later_.push_back(std::move(work));
  PostMessageA(main_window_, kCallLater, 0, 0);
}

bool Win32Host::on_posted_message(UINT message) {
  switch (message) {
    case kCallLater: {
      // Taken out first: the work may run a modal loop that handles the next one.
      std::function<void()> work = std::move(later_.front());
      later_.pop_front();
      work();
      return true;
    }
    case kServeMessageBoxes:
      serve_pending_requests();
      return true;
    case kShowTitle: {
      std::string title;
      {
        std::lock_guard lock(title_mutex_);
        title = pending_title_;
      }
      SetWindowTextA(main_window_, title.c_str());
      return true;
    }
  }
  return false;
}
