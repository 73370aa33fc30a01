#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>

// Dialog units of a font: a quarter of its average character width across and an eighth of its
// height down, so a template keeps its proportions whatever font size the desktop gives it.
struct DialogUnits {
  int base_x;  // pixels per four horizontal units
  int base_y;  // pixels per eight vertical units

  static DialogUnits for_font(const QFont& font);

  int x(int units) const { return (units * base_x + 2) / 4; }
  int y(int units) const { return (units * base_y + 4) / 8; }
  QPoint point(int x_units, int y_units) const { return {x(x_units), y(y_units)}; }
  // Both edges are converted, so controls that touch in units touch in pixels too.
  QRect rect(int x_units, int y_units, int width, int height) const {
    return QRect(point(x_units, y_units), point(x_units + width, y_units + height) - QPoint(1, 1));
  }
};
