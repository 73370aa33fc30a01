#include "platform/stop_signals.h"

#include <atomic>

#include "platform/socket_system.h"

namespace {

// Outside the machine object, as the one state the console's control handler may reach.
std::atomic<bool> stop{false};

// Windows calls this on a thread of its own.
BOOL WINAPI on_console_event(DWORD event) {
  stop = true;
  wake_socket_waits();
  // Closing the console window ends the process as soon as this returns: wait instead, and let
  // the server end by itself, which ends this thread too.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

void hold_stop_signals() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_requested() {
  return stop;
}
