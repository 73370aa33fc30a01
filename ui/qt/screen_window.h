#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

#include "ui/shared/log_lines.h"
#include "ui/shared/screen_view.h"

class DesktopHost;

// The console machine's Screen window: the picture the console shows, refreshed at its field
// rate and scaled to the window; with focus, the keyboard is controller 1.
class ScreenWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit ScreenWindow(QWidget* parent);

  // The picture it draws.
  const VideoPicture& picture() const { return view_.picture(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // Tab is a key of the console's here, not a move to another widget.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  bool key_changed(QKeyEvent* event, bool down);

  ScreenView view_;
  QTimer refresh_;
};

// The Log window beside it: the program's debug output, read-only.
class LogWindow final : public QPlainTextEdit {
  Q_OBJECT

 public:
  LogWindow(DesktopHost& host, QWidget* parent);

 private:
  void take_new_text();

  DesktopHost& host_;
  LogLines lines_;
  QTimer poll_;
};
