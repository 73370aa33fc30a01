#pragma once

#include <QWidget>
#include <vector>

#include "ui/status_lines.h"

// The main window's client area: the ROM's header lines and the instructions-per-second line,
// drawn in the window's colour at fixed pixel positions.
class StatusArea final : public QWidget {
  Q_OBJECT

 public:
  explicit StatusArea(QWidget* parent = nullptr);

  // Shows a new measurement at the next paint and flips whether later paints repeat it.
  void show_measurement(uint64_t instructions);

  // What the next paint draws.
  std::vector<StatusLine> lines() const { return status_lines(rom, ips_); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  IpsDisplay ips_;
};
