#pragma once

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>

// Message boxes asked for on another thread than the window thread, which alone may show them: each
// caller waits until its box has been shown and dismissed. A future rather than a toolkit's
// blocking call, so that the wait stays visible to ThreadSanitizer and the window thread can serve
// the boxes while it waits for the caller's thread.
class PendingMessageBoxes {
 public:
  using Show = std::function<void(const std::string& caption, const std::string& text)>;

  // Releases every caller still waiting for a box that will now never be shown.
  ~PendingMessageBoxes();

  // Any thread but the window thread: queues the box, calls `wake` to have the window thread serve
  // it, and waits until it has been dismissed.
  void show_and_wait(const char* caption, const char* text, const std::function<void()>& wake);

  // Window thread: shows every queued box with `show`, oldest first, releasing each caller as its
  // box is dismissed.
  void serve(const Show& show);
  // Window thread: whether `serve` is showing a box now.
  bool serving() const { return serving_ > 0; }

 private:
  struct Request {
    std::string caption;
    std::string text;
    std::promise<void> dismissed;
  };

  std::mutex mutex_;
  std::deque<Request> pending_;
  int serving_ = 0;  // window thread only: the boxes up, one over another
};
