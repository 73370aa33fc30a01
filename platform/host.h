#pragma once

// The few things the core asks of the desktop: a modal message box, the main window's title and
// the enabling of a menu item. The desktop program, korvel-cli and the tests each provide one.
class Host {
 public:
  virtual ~Host() = default;

  // Shows a modal box with an OK button and blocks the calling thread (any thread) until it is
  // dismissed.
  virtual void message_box(const char* caption, const char* text) = 0;
  virtual void set_title(const char* text) = 0;
  virtual void enable_menu_item(int id) = 0;

  // Called by the window thread while it waits for the run thread, so that a message box the run
  // thread is blocked on gets shown instead of deadlocking the two threads.
  virtual void serve_pending_requests() {}
};

// The host in use. Never null: until a front end installs its own, a host that ignores every
// request stands in.
Host& host();
void set_host(Host* installed);
