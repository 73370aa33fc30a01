#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>

#include "debugger/dialog.h"
#include "platform/qt/qt_host.h"

class StatusArea;

// The program's only top-level window: the menu every action starts from, the title that reports
// what is loaded and running, and the status lines. It is the core's host while it lives.
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow();
  ~MainWindow() override;

  // Carries out the menu command `id`; ids without a command do nothing.
  void on_command(int id);

  // Open ROM after its file dialog: a refused file leaves the loaded ROM as it was.
  void open_rom(const QString& path);

  // Current IPS with the measurement taken over `interval`.
  void measure_instruction_rate(std::chrono::steady_clock::duration interval);

  StatusArea& status_area() const { return *status_area_; }

 Q_SIGNALS:
  // The window has been closed (Exit or its close box) and the ROM given up: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void choose_rom();
  void open_debugger_window(const char* template_name, DialogProcedure& procedure);
  void toggle_show_count();
  bool toggle_check_mark(int id);
  void set_run_thread_priority(int id);

  std::unique_ptr<QtHost> host_;
  StatusArea* status_area_;
  QTimer count_title_timer_;
};
