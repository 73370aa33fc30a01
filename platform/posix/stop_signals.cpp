#include "platform/stop_signals.h"

#include <signal.h>

#include <cerrno>

#include "platform/socket_system.h"

namespace {

// Outside the machine object, as the one state a signal handler may reach: the flag it sets, and
// the mask the waits take the stop signals back with.
volatile sig_atomic_t stop_signal = 0;
sigset_t mask_while_waiting;

void on_stop_signal(int) {
  stop_signal = 1;
}

}  // namespace

void hold_stop_signals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &mask_while_waiting);
  sigdelset(&mask_while_waiting, SIGINT);
  sigdelset(&mask_while_waiting, SIGTERM);
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() {
  return stop_signal != 0;
}

// The stop signals are let in only here, so that they end the wait at once.
int wait_for_sockets(pollfd* waits, std::size_t count, int timeout_ms) {
  for (;;) {
    if (stop_requested()) return -1;
    timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    int ready = ppoll(waits, count, timeout_ms < 0 ? nullptr : &timeout, &mask_while_waiting);
    if (ready >= 0 || errno != EINTR) return ready;
  }
}
