#include "platform/qt/dialog_units.h"

#include <QFontMetrics>

DialogUnits DialogUnits::for_font(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average over both alphabets, rounded, as the desktop's dialog manager measures it.
  const int alphabets = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(alphabets / 26 + 1) / 2, metrics.height()};
}
