#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "memory/bus.h"
#include "platform/qt/host_text.h"
#include "platform/qt/images.h"
#include "platform/qt/menu_bar.h"
#include "platform/qt/template_dialog.h"
#include "resources/menu.h"
#include "ui/qt/open_rom_dialog.h"
#include "ui/qt/status_area.h"

namespace {

// The dropped items of `data` that are files of this machine, in their order.
std::vector<std::string> local_files(const QMimeData& data) {
  std::vector<std::string> files;
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toLocal8Bit().toStdString());
  return files;
}

}  // namespace

MainWindow::MainWindow() : host_(std::make_unique<QtHost>(*this)) {
  setWindowTitle(from_host_text(shared.title_text.c_str()));
  setWindowIcon(korvel_icon());
  setMenuBar(build_menu_bar(
      menu_bar_for(bus.console), [this](int id) { on_command(id); }, this));
  status_area_ = new StatusArea(commands_, this);
  setCentralWidget(status_area_);
  setAcceptDrops(true);
  set_host(host_.get());
  connect(&count_title_timer_, &QTimer::timeout, this, [this] { commands_.refresh_count_title(); });
  count_title_timer_.start(DesktopCommands::kCountTitleInterval);
  commands_.window_made();
}

MainWindow::~MainWindow() {
  commands_.end_gdb();
  // Nothing may ask this window for a message box once it is gone.
  execution.end_run_thread();
  if (&host() == host_.get()) set_host(nullptr);
}

void MainWindow::open_rom(const QString& path) {
  commands_.open_rom(path.toLocal8Bit().constData());
}

bool MainWindow::is_checked(int id) const {
  return find_menu_action(*menuBar(), id)->isChecked();
}

void MainWindow::set_checked(int id, bool checked) {
  find_menu_action(*menuBar(), id)->setChecked(checked);
}

void MainWindow::set_enabled(int id, bool enabled) {
  find_menu_action(*menuBar(), id)->setEnabled(enabled);
}

void MainWindow::invalidate() {
  status_area_->update();
}

std::string MainWindow::choose_rom_file() {
  return choose_rom_file_name(this).toLocal8Bit().toStdString();
}

void MainWindow::run_modal_dialog(const char* name, DialogProcedure& procedure) {
  ::run_modal_dialog(name, procedure, this);
}

void MainWindow::open_modeless_dialog(const char* name, DialogProcedure& procedure) {
  ::open_modeless_dialog(name, procedure, this);
}

void MainWindow::open_screen_window() {
  if (!screen_window_) screen_window_ = new ScreenWindow(this);
  if (!log_window_) {
    log_window_ = new LogWindow(*host_, this);
    log_window_->move(screen_window_->geometry().topRight() + QPoint(16, 0));
  }
  log_window_->show();
  screen_window_->show();
  screen_window_->raise();
  screen_window_->activateWindow();
}

void MainWindow::set_run_thread_priority(RunPriority priority) {
  host_->set_run_thread_priority(priority);
}

void MainWindow::call_later(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void MainWindow::post_gdb_turn() {
  QMetaObject::invokeMethod(
      this, [this] { commands_.gdb_turn(); }, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  commands_.window_closing();
  event->accept();
  Q_EMIT closed();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!dropped_rom(local_files(*event->mimeData())).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (commands_.drop(local_files(*event->mimeData()))) event->acceptProposedAction();
}
