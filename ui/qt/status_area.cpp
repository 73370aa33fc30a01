#include "ui/qt/status_area.h"

#include <QPainter>

#include "platform/qt/host_text.h"

StatusArea::StatusArea(DesktopCommands& commands, QWidget* parent)
    : QWidget(parent), commands_(commands) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
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
  commands_.painted();
}
