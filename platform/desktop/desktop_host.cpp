#include "platform/desktop/desktop_host.h"

void DesktopHost::post_message_box(const char* caption, const char* text,
                                   const std::function<void()>& post) {
  pending_.show_and_wait(caption, text, [&post] {
    post();
    window_thread_wake().notify();
  });
}
