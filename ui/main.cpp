#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

#include <cstdio>
#include <optional>

#include "cpu/cpu_state.h"
#include "machine/machine_state.h"
#include "ui/main_window.h"

// korvel [--cpu MODEL] [ROM]: the desktop program, opening ROM at once when one is given, with the
// processor model chosen (0.2c unless told otherwise).
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvel"));
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption cpu_option(
      QStringLiteral("cpu"),
      QStringLiteral("0.2c (the default: the subset of version 0.2c) or r4300i (the complete "
                     "integer unit and coprocessor 0)"),
      QStringLiteral("MODEL"), QStringLiteral("0.2c"));
  parser.addOption(cpu_option);
  parser.addPositionalArgument(QStringLiteral("ROM"), QStringLiteral("the ROM image to open"),
                               QStringLiteral("[ROM]"));
  parser.process(app);
  const std::optional<CpuModel> model = cpu_model_named(parser.value(cpu_option).toStdString());
  if (!model) {
    std::fprintf(stderr, "korvel: --cpu takes 0.2c or r4300i\n");
    return 2;
  }
  cpu.model = *model;
  shared.engine = engine_from_environment(shared.engine);
  MainWindow window;
  QObject::connect(&window, &MainWindow::closed, &app, &QApplication::quit);
  // Maximising is the window manager's to do; without one the window still fills the screen.
  window.resize(window.screen()->availableSize());
  window.showMaximized();
  const QStringList roms = parser.positionalArguments();
  if (!roms.isEmpty()) window.open_rom(roms.first());
  app.exec();
  return 0;
}
