// korvel_make_icon_png IN.xpm OUT.png: the program's icon for the desktop's icon theme, which
// takes PNG files. The XPM stays the one source of the picture.
#include <QImage>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: korvel_make_icon_png IN.xpm OUT.png\n", stderr);
    return 2;
  }
  const QImage icon(QString::fromLocal8Bit(argv[1]));
  if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "korvel_make_icon_png: cannot turn %s into %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
