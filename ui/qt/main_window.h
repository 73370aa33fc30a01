#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

#include "platform/qt/qt_host.h"
#include "ui/qt/screen_window.h"
#include "ui/shared/desktop_commands.h"

class StatusArea;

// The program's only top-level window: the menu every action starts from, the title that reports
// what is loaded and running, and the status lines. It is the core's host while it lives.
class MainWindow final : public QMainWindow, private DesktopWindow {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // Carries out the menu command `id`; ids without a command do nothing.
  void on_command(int id) { commands_.on_command(id); }

  // Open ROM after its file dialog: a refused file leaves the loaded ROM as it was.
  void open_rom(const QString& path);

  DesktopCommands& commands() { return commands_; }

  StatusArea& status_area() const { return *status_area_; }
  // The Screen and Log windows, null until the console machine's first opens them.
  ScreenWindow* screen_window() const { return screen_window_; }
  LogWindow* log_window() const { return log_window_; }

 Q_SIGNALS:
  // The window has been closed (Exit or its close box) and the ROM given up: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool is_checked(int id) const override;
  void set_checked(int id, bool checked) override;
  void set_enabled(int id, bool enabled) override;
  void invalidate() override;
  void close_window() override { close(); }
  std::string choose_rom_file() override;
  void run_modal_dialog(const char* name, DialogProcedure& procedure) override;
  void open_modeless_dialog(const char* name, DialogProcedure& procedure) override;
  void open_screen_window() override;
  void set_run_thread_priority(RunPriority priority) override;
  void call_later(std::function<void()> work) override;
  void post_gdb_turn() override;

  std::unique_ptr<QtHost> host_;
  DesktopCommands commands_{*this};
  StatusArea* status_area_;
  QPointer<ScreenWindow> screen_window_;
  QPointer<LogWindow> log_window_;
  QTimer count_title_timer_;
};
