#include "machine/host.h"

#include "machine/hooks.h"

Host& host() {
  return *machine_hooks.host;
}

void set_host(Host* installed) {
  machine_hooks.host = installed ? installed : machine_hooks.silent_host;
}

WakeSignal& window_thread_wake() {
  return window_wake;
}
