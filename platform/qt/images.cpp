#include "platform/qt/images.h"

QIcon korvel_icon() {
  return QIcon(QStringLiteral(":/korvel/icons/korvel.xpm"));
}

QPixmap bitmap_resource(const char* name) {
  return QPixmap(QStringLiteral(":/korvel/bitmaps/%1.bmp").arg(QLatin1String(name)));
}
