#pragma once

#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ui/shared/desktop_window.h"
#include "ui/shared/gdb_service.h"
#include "ui/shared/instruction_rate.h"
#include "ui/shared/status_lines.h"

// The desktop program's main window as both front ends share it: what each menu command does,
// which items it enables and checks, the title, the status lines and the count in the title.
// Window thread only.
class DesktopCommands {
 public:
  // How often the window thread brings the count in the title up to date during a run.
  static constexpr std::chrono::milliseconds kCountTitleInterval{30};

  explicit DesktopCommands(DesktopWindow& window) : window_(window) {}

  // Carries out the menu command `id`; ids without a command do nothing.
  void on_command(int id);

  // Once the window is made: with the console machine, its Screen window opens and the runs keep
  // to the console's pace.
  void window_made();

  // Open ROM after its file dialog, a drop or the command line: a refused file leaves the loaded
  // ROM as it was.
  void open_rom(const char* path);

  // A drop of `local_files` (the dropped items that are files of this machine, in their order) on
  // the window: false if it is refused. An accepted drop opens its ROM once it has finished.
  bool drop(std::span<const std::string> local_files);

  // The clock Current IPS measures on, the monotonic one unless the tests give their own.
  void use_measurement_clock(MeasurementClock& clock) { clock_ = &clock; }

  // What the next paint of the client area draws; `painted` once it has drawn them.
  std::vector<StatusLine> status_lines() const;
  void painted() { ips_.just_measured = false; }

  // The count-title timer's tick: the run thread only publishes its count, the title follows it
  // from here.
  void refresh_count_title();

  // The main window is being closed (Exit or its close box): ends the gdb server and gives the ROM
  // up, which first ends the run thread, showing any message box it is waiting on.
  void window_closing();

  // --gdb: serves gdb on `where` over this window's machine; false when it cannot listen (the
  // reason is on standard error).
  bool serve_gdb(const GdbEndpoint& where);
  // Where it listens; empty without one.
  std::string gdb_endpoint() const { return gdb_ ? gdb_->endpoint() : std::string(); }
  // The window thread's turn with the gdb client, when the server wakes it and at every tick of
  // the count-title timer: the windows follow what the client is answered.
  void gdb_turn();
  // Ends the gdb server, telling a client waiting for a stop that the program has exited; the
  // main window ends it before it goes, since the server wakes it from another thread.
  void end_gdb() { gdb_.reset(); }

 private:
  void choose_rom();
  void measure_instruction_rate();
  void open_debugger_window(const char* template_name, DialogProcedure& procedure);
  void toggle_show_count();
  bool toggle_check_mark(int id);
  void set_run_thread_priority(int id);
  void machine_replaced();

  DesktopWindow& window_;
  std::unique_ptr<GdbService> gdb_;
  IpsDisplay ips_;
  MeasurementClock* clock_ = &steady_measurement_clock();
};

// The file a drop of `local_files` (the dropped items that are files of this machine, in their
// order) opens: the first one; empty when there is none, and the drop is then refused.
std::string dropped_rom(std::span<const std::string> local_files);
