#pragma once

#include "machine/host.h"
#include "platform/message_boxes.h"
#include "platform/thread_priority.h"

// What the desktop program's hosts share whatever their toolkit: the message boxes other threads
// wait on, and the run thread's priority as the CPU Thread menu sets it.
class DesktopHost : public Host {
 public:
  void run_thread_started() override { run_thread_priority_.thread_started(); }
  void run_thread_ended() override { run_thread_priority_.thread_ended(); }

  // The CPU Thread menu's choice for the run thread.
  void set_run_thread_priority(RunPriority priority) { run_thread_priority_.set(priority); }

 protected:
  PendingMessageBoxes pending_;

 private:
  RunThreadPriority run_thread_priority_;
};
