#include "platform/desktop/desktop_host.h"

#include <utility>

void DesktopHost::post_message_box(const char* caption, const char* text,
                                   const std::function<void()>& post) {
  pending_.show_and_wait(caption, text, [&post] {
    post();
    window_thread_wake().notify();
  });
}

void DesktopHost::program_output(const char* text, std::size_t length) {
  write_program_text(text, length);
  std::lock_guard lock(program_text_mutex_);
  program_text_.append(text, length);
}

std::string DesktopHost::take_program_text() {
  std::lock_guard lock(program_text_mutex_);
  return std::exchange(program_text_, {});
}
