#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include "debugger/listing.h"
#include "debugger/register_windows.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "platform/qt/host_text.h"
#include "platform/qt/images.h"
#include "platform/qt/menu_bar.h"
#include "platform/qt/template_dialog.h"
#include "resources/menu.h"
#include "ui/info_dialogs.h"
#include "ui/instruction_rate.h"
#include "ui/open_rom_dialog.h"
#include "ui/status_area.h"

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

QString first_local_file(const QMimeData& data) {
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

MainWindow::MainWindow() : host_(std::make_unique<QtHost>(*this)) {
  setWindowTitle(from_host_text(shared.title_text.c_str()));
  setWindowIcon(korvel_icon());
  setMenuBar(build_menu_bar(
      kMenuBar, [this](int id) { on_command(id); }, this));
  status_area_ = new StatusArea(this);
  setCentralWidget(status_area_);
  setAcceptDrops(true);
  set_host(host_.get());
  // The run thread only publishes its count; the title follows it from here.
  connect(&count_title_timer_, &QTimer::timeout, this, [] { execution.refresh_count_title(); });
  count_title_timer_.start(30);
}

MainWindow::~MainWindow() {
  // Nothing may ask this window for a message box once it is gone.
  execution.end_run_thread();
  if (&host() == host_.get()) set_host(nullptr);
}

void MainWindow::on_command(int id) {
  switch (id) {
    case kCmdExit:
      close();
      break;
    case kCmdRomInfo: {
      RomInfoProcedure procedure;
      run_modal_dialog("ROM", procedure, this);
      break;
    }
    case kCmdOpenRom:
      choose_rom();
      break;
    case kCmdAbout: {
      InfoDialogProcedure procedure;
      run_modal_dialog("About", procedure, this);
      break;
    }
    case kCmdStartCpu:
      start_cpu();
      status_area_->update();
      break;
    case kCmdPauseCpu:
      shared.running = 0;
      break;
    case kCmdResetCpu: {
      ExecutionController::ScopedPause pause(execution);
      reset_cpu();
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
      measure_instruction_rate(std::chrono::seconds(1));
      break;
    case kCmdCloseRom:
      close_rom();
      break;
    default:  // Load State, Save State, Memory: not there yet
      break;
  }
}

void MainWindow::choose_rom() {
  const QString path = choose_rom_file(this);
  if (!path.isEmpty()) open_rom(path);
}

void MainWindow::open_rom(const QString& path) {
  bool loaded;
  {
    // The loaded image is replaced between two instructions of a run, which goes on from the
    // new boot state.
    ExecutionController::ScopedPause pause(execution);
    loaded = load_rom(path.toLocal8Bit().constData()) == 1;
  }
  // A loaded image can be run; nothing grays these items again.
  if (loaded) {
    for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu})
      find_menu_action(*menuBar(), id)->setEnabled(true);
  }
  status_area_->update();
}

void MainWindow::measure_instruction_rate(std::chrono::steady_clock::duration interval) {
  status_area_->show_measurement(instructions_during(interval));
}

void MainWindow::open_debugger_window(const char* template_name, DialogProcedure& procedure) {
  // The window reads the processor at rest.
  execution.halt();
  open_modeless_dialog(template_name, procedure, this);
}

void MainWindow::toggle_show_count() {
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

bool MainWindow::toggle_check_mark(int id) {
  QAction* item = find_menu_action(*menuBar(), id);
  item->setChecked(!item->isChecked());
  return item->isChecked();
}

void MainWindow::set_run_thread_priority(int id) {
  for (const ThreadPriority& priority : kThreadPriorities) {
    if (priority.id == id) host_->set_run_thread_priority(priority.priority);
    find_menu_action(*menuBar(), priority.id)->setChecked(priority.id == id);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Gives the ROM up, which first ends the run thread, showing any message box it is waiting on.
  close_rom();
  event->accept();
  Q_EMIT closed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!first_local_file(*event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = first_local_file(*event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  open_rom(path);
}
