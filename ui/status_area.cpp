#include "ui/status_area.h"

#include <QPainter>

#include "platform/qt/host_text.h"

StatusArea::StatusArea(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
}

void StatusArea::show_measurement(uint64_t instructions) {
  ips_.value = instructions;
  ips_.just_measured = true;
  ips_.shown = !ips_.shown;
  update();
}

void StatusArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Each line covers what it is drawn over, as the rate line does the first header line.
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(palette().window());
  painter.setPen(palette().windowText().color());
  const int ascent = painter.fontMetrics().ascent();
  for (const StatusLine& line : lines())
    painter.drawText(0, line.y + ascent, from_host_text(line.text.c_str()));
  ips_.just_measured = false;
}
