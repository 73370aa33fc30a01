#include "ui/shared/desktop_commands.h"

#include "debugger/listing.h"
#include "debugger/register_windows.h"
#include "machine/execution.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "machine/screen_feed.h"
#include "memory/bus.h"
#include "memory/rom_image.h"
#include "resources/menu.h"
#include "ui/shared/info_dialogs.h"

namespace {

// The run thread's scheduling for each item of the CPU Thread menu. The system may refuse the raise
// to High to an unprivileged user; the item is checked all the same.
struct ThreadPriority {
  int id;
  RunPriority priority;
};
constexpr ThreadPriority kThreadPriorities[] = {{kCmdPriorityHigh, RunPriority::high},
                                                {kCmdPriorityNormal, RunPriority::normal},
                                                {kCmdPriorityLow, RunPriority::low}};

// Every Commands window shares the one procedure, which outlives them all.
CommandsProcedure& commands_procedure() {
  static CommandsProcedure procedure;
  return procedure;
}

}  // namespace

void DesktopCommands::on_command(int id) {
  switch (id) {
    case kCmdExit:
      window_.close_window();
      break;
    case kCmdRomInfo: {
      RomInfoProcedure procedure;
      window_.run_modal_dialog("ROM", procedure);
      break;
    }
    case kCmdOpenRom:
      choose_rom();
      break;
    case kCmdAbout: {
      InfoDialogProcedure procedure;
      window_.run_modal_dialog("About", procedure);
      break;
    }
    case kCmdStartCpu:
      start_cpu();
      window_.invalidate();
      break;
    case kCmdPauseCpu:
      shared.running = 0;
      break;
    case kCmdResetCpu: {
      ExecutionController::ScopedPause pause(execution);
      reset_cpu();
      machine_replaced();
      break;
    }
    case kCmdShowCount:
      toggle_show_count();
      break;
    case kCmdStopOnUnhandled:
      shared.stop_on_unhandled = toggle_check_mark(id) ? 1 : 0;
      break;
    case kCmdPriorityHigh:
    case kCmdPriorityNormal:
    case kCmdPriorityLow:
      set_run_thread_priority(id);
      break;
    case kCmdGprWindow:
      open_debugger_window("GPR_REGS", register_window_procedure(RegisterWindowKind::gpr));
      break;
    case kCmdCp0Window:
      open_debugger_window("CP0_REGS", register_window_procedure(RegisterWindowKind::cp0));
      break;
    case kCmdFprWindow:
      open_debugger_window("FPR_REGS", register_window_procedure(RegisterWindowKind::fpr));
      break;
    case kCmdCommandsWindow:
      open_debugger_window("COMMANDS", commands_procedure());
      break;
    case kCmdCurrentIps:
      measure_instruction_rate();
      break;
    case kCmdCloseRom:
      close_rom();
      machine_replaced();
      break;
    case kCmdScreenWindow:
      window_.open_screen_window();
      break;
    default:  // Load State, Save State, Memory: not there yet
      break;
  }
}

void DesktopCommands::window_made() {
  if (!bus.console) return;
  screen_feed.set_paced(true);
  window_.open_screen_window();
}

void DesktopCommands::choose_rom() {
  const std::string path = window_.choose_rom_file();
  if (!path.empty()) open_rom(path.c_str());
}

void DesktopCommands::open_rom(const char* path) {
  bool loaded;
  {
    // The loaded image is replaced between two instructions of a run, which goes on from the
    // new boot state.
    ExecutionController::ScopedPause pause(execution);
    loaded = load_rom(path) == 1;
  }
  if (loaded) machine_replaced();
  // A loaded image can be run; nothing grays these items again.
  if (loaded) {
    for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu}) window_.set_enabled(id, true);
  }
  window_.invalidate();
}

bool DesktopCommands::drop(std::span<const std::string> local_files) {
  const std::string path = dropped_rom(local_files);
  if (path.empty()) return false;
  // Not while the drop is under way: the program the file was dragged from waits for its end, and
  // a refused file's message box would keep it waiting until the box was closed.
  window_.call_later([this, path] { open_rom(path.c_str()); });
  return true;
}

void DesktopCommands::measure_instruction_rate() {
  ips_.value = instructions_during(std::chrono::seconds(1), *clock_);
  ips_.just_measured = true;
  ips_.shown = !ips_.shown;
  window_.invalidate();
}

std::vector<StatusLine> DesktopCommands::status_lines() const {
  return ::status_lines(rom, ips_);
}

void DesktopCommands::refresh_count_title() {
  execution.refresh_count_title();
  gdb_turn();
}

void DesktopCommands::window_closing() {
  end_gdb();
  close_rom();
}

bool DesktopCommands::serve_gdb(const GdbEndpoint& where) {
  gdb_ = std::make_unique<GdbService>([this] { window_.post_gdb_turn(); });
  if (gdb_->listen(where)) return true;
  gdb_.reset();
  return false;
}

void DesktopCommands::gdb_turn() {
  if (!gdb_ || !gdb_->serve()) return;
  refresh_register_windows();
  fill_listing();
  execution.refresh_count_title();
  window_.invalidate();
}

void DesktopCommands::machine_replaced() {
  if (gdb_) gdb_->machine_replaced();
}

void DesktopCommands::open_debugger_window(const char* template_name, DialogProcedure& procedure) {
  // The window reads the processor at rest.
  execution.halt();
  window_.open_modeless_dialog(template_name, procedure);
}

void DesktopCommands::toggle_show_count() {
  if (toggle_check_mark(kCmdShowCount)) {
    // With the count still hidden, the refresh takes the count published so far as seen, so the
    // title waits for the next instruction's.
    execution.refresh_count_title();
    shared.show_count = 1;
  } else {
    shared.show_count = 0;
    host().set_title(shared.title_text.c_str());
  }
}

bool DesktopCommands::toggle_check_mark(int id) {
  const bool checked = !window_.is_checked(id);
  window_.set_checked(id, checked);
  return checked;
}

void DesktopCommands::set_run_thread_priority(int id) {
  for (const ThreadPriority& priority : kThreadPriorities) {
    if (priority.id == id) window_.set_run_thread_priority(priority.priority);
    window_.set_checked(priority.id, priority.id == id);
  }
}

std::string dropped_rom(std::span<const std::string> local_files) {
  for (const std::string& file : local_files)
    if (!file.empty()) return file;
  return {};
}
