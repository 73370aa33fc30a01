#include <QApplication>
#include <QScreen>

#include "machine/machine_state.h"
#include "ui/main_window.h"

// korvel [ROM]: the desktop program, opening ROM at once when one is given.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvel"));
  shared.engine = engine_from_environment(shared.engine);
  MainWindow window;
  QObject::connect(&window, &MainWindow::closed, &app, &QApplication::quit);
  // Maximising is the window manager's to do; without one the window still fills the screen.
  window.resize(window.screen()->availableSize());
  window.showMaximized();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) window.open_rom(arguments.at(1));
  app.exec();
  return 0;
}
