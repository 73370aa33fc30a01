#pragma once

#include <cstddef>

#include "machine/wake_signal.h"
#include "memory/hooks.h"

// The few things the machine asks of the program around it: a modal message box, the main
// window's title, the text the emulated program writes for its developer, and notice of the run
// thread's life so that its scheduling can be set. The
// desktop program, korvel-cli and the tests each provide one.
class Host {
 public:
  virtual ~Host() = default;

  // Shows a modal box with an OK button and blocks the calling thread (any thread) until it is
  // dismissed.
  virtual void message_box(const char* caption, const char* text) = 0;
  virtual void set_title(const char* text) = 0;

  // Text the emulated program writes for its developer (the console's ISViewer buffer), on the
  // thread that executes it, as it comes; dropped unless a host shows it.
  virtual void program_output(const char*, std::size_t) {}

  // Called by the window thread while it waits for the run thread, so that a message box the run
  // thread is blocked on gets shown instead of deadlocking the two threads. A host that leaves
  // requests of other threads for it notifies `window_thread_wake()` as it posts each.
  virtual void serve_pending_requests() {}

  // Window thread: whether a message box another thread waits on is up, shown by a call below the
  // caller's.
  virtual bool showing_message_box() const { return false; }

  // Called on the run thread itself, first and last thing it does.
  virtual void run_thread_started() {}
  virtual void run_thread_ended() {}
};

// A host that ignores every request: the machine's own, in use until a front end installs one.
class SilentHost final : public Host {
 public:
  void message_box(const char*, const char*) override {}
  void set_title(const char*) override {}
};

// The host in use (the entry in the machine's table of hooks). Never null: with none installed,
// the silent one stands in.
Host& host();
void set_host(Host* installed);

// The memory layer's way out for the program's text, to whichever host is in use (a replay's
// quiet one drops it, so that text is written once).
class HostTextOutput final : public TextOutput {
 public:
  void write_text(const char* text, std::size_t length) override {
    host().program_output(text, length);
  }
};

// What the window thread sleeps on while it waits for the run thread: the run thread moves it as it
// ends or lets go of the machine, and a host as it posts a request that only
// serve_pending_requests carries out, so that the waiting window thread serves it.
WakeSignal& window_thread_wake();
// The machine object owns it: machine/object/machine.h.
extern WakeSignal& window_wake;
