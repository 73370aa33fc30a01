#pragma once

#include <functional>
#include <string>

#include "debugger/dialog.h"
#include "platform/thread_priority.h"

// What the desktop program's logic asks of its main window. The Qt and the Win32 front ends each
// implement it over their toolkit; everything they do alike lives in DesktopCommands.
class DesktopWindow {
 public:
  virtual ~DesktopWindow() = default;

  // The menu item `id`'s check mark and whether it can be chosen.
  virtual bool is_checked(int id) const = 0;
  virtual void set_checked(int id, bool checked) = 0;
  virtual void set_enabled(int id, bool enabled) = 0;

  // Asks for the client area to be erased and painted again.
  virtual void invalidate() = 0;
  // Closes the main window as its close box does; the program then ends.
  virtual void close_window() = 0;

  // The Open ROM file dialog, owned by the window: the chosen file's path (in the encoding the
  // core takes paths in), or empty when it was cancelled.
  virtual std::string choose_rom_file() = 0;
  // Dialogs from the templates in resources/, owned by the window.
  virtual void run_modal_dialog(const char* name, DialogProcedure& procedure) = 0;
  virtual void open_modeless_dialog(const char* name, DialogProcedure& procedure) = 0;

  // The console machine's Screen window and the Log window beside it, opened, or brought to the
  // front when they are open.
  virtual void open_screen_window() = 0;

  // The CPU Thread menu's choice for the run thread.
  virtual void set_run_thread_priority(RunPriority priority) = 0;

  // Any thread: has the window thread call DesktopCommands::gdb_turn soon; never once the window
  // is gone.
  virtual void post_gdb_turn() = 0;

  // Runs `work` on the window thread once the event being handled, and the events queued before
  // this call, are done; never if the window is gone by then.
  virtual void call_later(std::function<void()> work) = 0;
};
