#include "machine/host.h"

namespace {

class SilentHost final : public Host {
 public:
  void message_box(const char*, const char*) override {}
  void set_title(const char*) override {}
};

SilentHost silent_host;
Host* current_host = &silent_host;

}  // namespace

Host& host() {
  return *current_host;
}

void set_host(Host* installed) {
  current_host = installed ? installed : &silent_host;
}

WakeSignal& window_thread_wake() {
  static WakeSignal wake;
  return wake;
}
