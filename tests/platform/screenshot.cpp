#include "tests/platform/screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

void save_screenshot(QWidget& widget, const char* name) {
  const QString folder = qEnvironmentVariable("KORVEL_SCREENSHOT_DIR");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  widget.grab().save(folder + '/' + QLatin1String(name) + ".png");
}
