#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <cstdio>
#include <optional>
#include <string>

#include "machine/machine_state.h"
#include "ui/qt/main_window.h"
#include "ui/shared/gdb_service.h"
#include "ui/shared/machine_choice.h"

namespace {

constexpr int kExitUsage = 2;
const QString kHelp = QStringLiteral("help");
const QCommandLineOption kCpuOption(
    QStringLiteral("cpu"),
    QStringLiteral("0.2c (the default: the subset of version 0.2c) or r4300i (the complete integer "
                   "unit, coprocessor 0 and the FPU)"),
    QStringLiteral("MODEL"), QStringLiteral("0.2c"));
const QCommandLineOption kMachineOption(
    QStringLiteral("machine"),
    QStringLiteral("plain (the default: the hardware registers as plain storage) or console (the "
                   "console's hardware and boot, with --cpu r4300i)"),
    QStringLiteral("NAME"), QStringLiteral("plain"));
const QCommandLineOption kExpansionOption(
    QStringLiteral("expansion"),
    QStringLiteral("the console with the memory expansion: 8 MB of RDRAM instead of 4 (--machine "
                   "console)"));

const QCommandLineOption kGdbOption(
    QStringLiteral("gdb"),
    QStringLiteral("Serves gdb's remote protocol on [ADDR:]PORT (ADDR 127.0.0.1 unless given) over "
                   "the machine the windows show."),
    QStringLiteral("[ADDR:]PORT"));

void describe_command_line(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Korvel emulates a MIPS R4300i console's processor and shows it in debugger windows."));
  // Qt's own options are single-dash words (-platform, -style); read as letters, -reverse would
  // hold a -v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Not addHelpOption(): its --help-all would list Qt's own options, which only QApplication knows.
  parser.addOption(QCommandLineOption({QStringLiteral("h"), kHelp},
                                      QStringLiteral("Displays help on commandline options.")));
  parser.addVersionOption();
  parser.addOption(kCpuOption);
  parser.addOption(kMachineOption);
  parser.addOption(kExpansionOption);
  parser.addOption(kGdbOption);
  parser.addPositionalArgument(
      QStringLiteral("ROM"),
      QStringLiteral("The ROM image to open (native .z64 or byte-swapped .v64)."),
      QStringLiteral("[ROM]"));
}

// --help and --version, answered before QApplication exists: it needs a display, and they must
// work on a text console too. Qt's own options are unknown here, so errors wait for the second
// parse, after QApplication has taken those out.
void answer_help_or_version(QCommandLineParser& parser, int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  parser.parse(arguments);
  if (parser.isSet(kHelp)) {
    const QCoreApplication console(argc, argv);  // which names the program in the usage line
    parser.showHelp();
  }
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
}

}  // namespace

// korvel [--cpu MODEL] [--machine NAME] [--expansion] [--gdb [ADDR:]PORT] [ROM]: the desktop
// program, opening ROM at once when one is given, with the processor model and hardware chosen
// (0.2c on plain storage unless told otherwise), and serving gdb when asked.
int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("Korvel"));
  QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
  QCommandLineParser parser;
  describe_command_line(parser);
  answer_help_or_version(parser, argc, argv);

  QApplication app(argc, argv);
  // The window is matched to its desktop entry, and so to its icon, by this name.
  QApplication::setDesktopFileName(QStringLiteral("io.github.korvel.Korvel"));
  const bool understood = parser.parse(QApplication::arguments());
  const QStringList roms = parser.positionalArguments();
  if (!understood || roms.size() > 1) {
    const QString error = understood ? QStringLiteral("Give one ROM at most.") : parser.errorText();
    std::fprintf(stderr, "korvel: %s\nTry 'korvel --help'.\n", qPrintable(error));
    return kExitUsage;
  }
  std::string error =
      choose_machine(parser.value(kCpuOption).toStdString(), parser.isSet(kCpuOption),
                     parser.value(kMachineOption).toStdString(), parser.isSet(kExpansionOption));
  const std::optional<GdbEndpoint> gdb = parse_gdb_endpoint(parser.value(kGdbOption).toStdString());
  if (error.empty() && parser.isSet(kGdbOption) && !gdb) error = kGdbEndpointError;
  if (!error.empty()) {
    std::fprintf(stderr, "korvel: %s\nTry 'korvel --help'.\n", error.c_str());
    return kExitUsage;
  }

  shared.engine = engine_from_environment(shared.engine);
  MainWindow window;
  QObject::connect(&window, &MainWindow::closed, &app, &QApplication::quit);
  // Maximising is the window manager's to do; without one the window still fills the screen.
  window.resize(window.screen()->availableSize());
  window.showMaximized();
  if (parser.isSet(kGdbOption) && !window.commands().serve_gdb(*gdb)) return kExitUsage;
  if (!roms.isEmpty()) window.open_rom(roms.first());
  app.exec();
  return 0;
}
