#pragma once

#include <QWidget>
#include <vector>

#include "ui/shared/desktop_commands.h"

// The main window's client area: the ROM's header lines and the instructions-per-second line,
// drawn in the window's colour at fixed pixel positions.
class StatusArea final : public QWidget {
  Q_OBJECT

 public:
  StatusArea(DesktopCommands& commands, QWidget* parent = nullptr);

  // What the next paint draws.
  std::vector<StatusLine> lines() const { return commands_.status_lines(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DesktopCommands& commands_;
};
