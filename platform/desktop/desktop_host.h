#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "machine/host.h"
#include "platform/console_output.h"
#include "platform/message_boxes.h"
#include "platform/thread_priority.h"

// What the desktop program's hosts share whatever their toolkit: the message boxes other threads
// wait on, and the run thread's priority as the CPU Thread menu sets it.
class DesktopHost : public Host {
 public:
  void run_thread_started() override { run_thread_priority_.thread_started(); }
  void run_thread_ended() override { run_thread_priority_.thread_ended(); }
  // The desktop program's standard output, as korvel-cli's, and the Log window's.
  void program_output(const char* text, std::size_t length) override;
  bool showing_message_box() const override { return pending_.serving(); }
  // Window thread: what the program has written since the last call.
  std::string take_program_text();

  // The CPU Thread menu's choice for the run thread.
  void set_run_thread_priority(RunPriority priority) { run_thread_priority_.set(priority); }

 protected:
  // Any thread but the window thread: queues the box, has `post` ask the window thread's event
  // loop to serve it, wakes the window thread where it waits for the run thread, and returns once
  // the box has been dismissed.
  void post_message_box(const char* caption, const char* text, const std::function<void()>& post);
  // Window thread: shows every queued box with `show`, oldest first.
  void serve_message_boxes(const PendingMessageBoxes::Show& show) { pending_.serve(show); }

 private:
  PendingMessageBoxes pending_;
  std::mutex program_text_mutex_;
  std::string program_text_;
  RunThreadPriority run_thread_priority_;
};
