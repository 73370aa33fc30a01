#include "platform/stop_signals.h"

#include <signal.h>

#include <cerrno>

namespace {

volatile sig_atomic_t stop_signal = 0;
sigset_t mask_while_polling;

void on_stop_signal(int) {
  stop_signal = 1;
}

}  // namespace

void hold_stop_signals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &mask_while_polling);
  sigdelset(&mask_while_polling, SIGINT);
  sigdelset(&mask_while_polling, SIGTERM);
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() {
  return stop_signal != 0;
}

int poll_until_stop(pollfd* fds, nfds_t count, int timeout_ms) {
  if (stop_requested()) {
    errno = EINTR;
    return -1;
  }
  timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
  return ppoll(fds, count, timeout_ms < 0 ? nullptr : &timeout, &mask_while_polling);
}
