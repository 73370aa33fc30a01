#pragma once

#include <QMainWindow>
#include <QObject>
#include <QString>

#include "platform/desktop/desktop_host.h"

// The core's host on the desktop. Widgets live on the window thread, so requests from the run
// thread are queued to it; a message box request keeps its caller waiting until the box is
// dismissed.
class QtHost final : public QObject, public DesktopHost {
  Q_OBJECT

 public:
  // Create on the window thread. `main_window` owns the message boxes and carries the title and
  // the menu.
  explicit QtHost(QMainWindow& main_window);

  void message_box(const char* caption, const char* text) override;
  void set_title(const char* text) override;
  // Window thread only: shows every message box requested from another thread and not shown yet.
  void serve_pending_requests() override;

 private:
  bool on_window_thread() const;
  void show_message_box(const QString& caption, const QString& text);
  template <typename Work>
  void run_on_window_thread(Work work);

  QMainWindow& main_window_;
};
