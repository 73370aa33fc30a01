// korvel_make_icon_png IN.xpm SIZE OUT.png: the program's icon at SIZE x SIZE pixels for the
// desktop's icon theme, which takes PNG files. The XPM stays the one source of the picture.
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: korvel_make_icon_png IN.xpm SIZE OUT.png\n", stderr);
    return 2;
  }
  const int size = std::atoi(argv[2]);
  QImage icon(QString::fromLocal8Bit(argv[1]));
  if (!icon.isNull() && size > 0 && size != icon.width()) {
    // Whole multiples keep the picture's pixels sharp; other sizes are blended.
    const Qt::TransformationMode mode =
        size % icon.width() == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
    icon = icon.scaled(size, size, Qt::IgnoreAspectRatio, mode);
  }
  if (icon.isNull() || size <= 0 || !icon.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "korvel_make_icon_png: cannot draw %s at %s pixels into %s\n", argv[1],
                 argv[2], argv[3]);
    return 1;
  }
  return 0;
}
