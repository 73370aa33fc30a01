#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "machine/devices/video_scanout.h"
#include "ui/shared/desktop_commands.h"
#include "ui/shared/instruction_rate.h"
#include "ui/shared/screen_view.h"
#include "ui/shared/status_lines.h"

// The desktop program's main window as the shared cases drive it: each front end's tests give a
// driver over the real window of their toolkit, the core's host while it lives. Message boxes are
// recorded and dismissed as soon as they are up.
struct ShownBox {
  std::string caption;
  std::string text;
  bool owned_by_main_window;
};

// One open dialog built from a template.
class DialogProbe {
 public:
  virtual ~DialogProbe() = default;
  // An edit field's or a text's text; a list box's lines.
  virtual std::string text(int id) = 0;
  virtual std::vector<std::string> lines(int id) = 0;
  // The distinct widths in pixels by which the characters of a list box's lines advance, in the
  // list's font.
  virtual std::set<int> advances(int id) = 0;
  // The texts of the dialog's labels that are drawn wider than their label, and so are cut.
  virtual std::vector<std::string> texts_wider_than_their_labels() = 0;
  // The width in pixels of the picture the dialog shows, 0 without one.
  virtual int picture_width() = 0;
  // The button `id` pressed; kIdCancel as the Escape key sends it.
  virtual void press(int id) = 0;
};

// The clock of the window's rate measurements, the case's own: it notes each interval waited for
// and lets it pass as `passing` says, at once unless a case says otherwise.
struct CaseClock final : MeasurementClock {
  void wait(std::chrono::steady_clock::duration interval) override {
    waited.push_back(interval);
    passing();
  }

  std::vector<std::chrono::steady_clock::duration> waited;
  std::function<void()> passing = [] {};
};

class DesktopDriver {
 public:
  virtual ~DesktopDriver() = default;

  // Every driver's window measures on it; it outlives the window.
  CaseClock clock;

  // The menu command `id`, as the window receives it.
  virtual void command(int id) = 0;
  virtual void open_rom(const std::string& path) = 0;
  // Drags the file at `path` onto the window and drops it there; false if the window refused it.
  virtual bool drop_file(const std::string& path) = 0;
  // The window's close box.
  virtual void close() = 0;

  virtual std::string title() = 0;
  virtual bool has_icon() = 0;
  virtual bool is_checked(int id) = 0;
  virtual bool is_enabled(int id) = 0;
  virtual bool is_open() = 0;
  // What the next paint draws; `paint` paints the client area at once.
  virtual std::vector<StatusLine> status_lines() = 0;
  virtual void paint() = 0;
  virtual const std::vector<ShownBox>& boxes() = 0;

  // Serves the window's events until `done` holds, sleeping while none come. No deadline: a wait
  // that never ends is the test runner's to end.
  virtual void wait_until(const std::function<bool()>& done) = 0;

  // Runs the modal command `id`, and `act` on the dialog titled `title` once it is up; `act` closes
  // it. False if no such dialog came up.
  virtual bool with_modal_dialog(int id, const std::string& title,
                                 const std::function<void(DialogProbe&)>& act) = 0;
  // How many modeless dialogs titled `title` are open; the newest of them, or null.
  virtual int open_windows(const std::string& title) = 0;
  virtual std::unique_ptr<DialogProbe> newest_window(const std::string& title) = 0;

  // The console machine's Screen window: whether it is shown, the picture it draws, and `key`
  // pressed or let go there through the toolkit's own key event (Tab and L at least). The Log
  // window's text.
  virtual bool screen_open() = 0;
  virtual VideoPicture screen_picture() = 0;
  virtual void screen_key(ScreenKey key, bool down) = 0;
  virtual std::string log_text() = 0;

  // The window's own commands, for what a case starts as the command line does (--gdb).
  virtual DesktopCommands& commands() = 0;
};

// A case the front ends run alike, on the console machine when `console`.
struct DesktopCase {
  const char* suite;
  const char* name;
  void (*run)(DesktopDriver&);
  bool console = false;
};

// The cases of the console machine's Screen and Log windows.
std::span<const DesktopCase> screen_cases();
// The cases of gdb served by the desktop program.
std::span<const DesktopCase> gdb_cases();

// Registers every shared case as a GoogleTest test, in the suites "Desktop*", each run on a fresh
// program state with a driver `make_driver` gives.
void register_desktop_cases(const std::function<std::unique_ptr<DesktopDriver>()>& make_driver);

// A sample ROM built from assembly.
std::string sample_rom(const char* file_name);
