#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "machine/machine_state.h"
#include "platform/win32/template_dialog.h"
#include "ui/shared/gdb_service.h"
#include "ui/shared/machine_choice.h"
#include "ui/win32/main_window.h"

namespace {

constexpr int kExitUsage = 2;
constexpr const char* kUsage =
    "Usage: korvel [--cpu MODEL] [--machine NAME] [--expansion] [--gdb [ADDR:]PORT] [ROM]\n\n"
    "Korvel emulates a MIPS R4300i console's processor and shows it in debugger windows.\n\n"
    "ROM\tThe ROM image to open (native .z64 or byte-swapped .v64).\n"
    "--cpu MODEL\t0.2c (the default: the subset of version 0.2c) or r4300i (the complete "
    "integer unit, coprocessor 0 and the FPU).\n"
    "--machine NAME\tplain (the default: the hardware registers as plain storage) or console (the "
    "console's hardware and boot, with --cpu r4300i).\n"
    "--expansion\tThe console with the memory expansion: 8 MB of RDRAM instead of 4 (--machine "
    "console).\n"
    "--gdb [ADDR:]PORT\tServes gdb's remote protocol on [ADDR:]PORT (ADDR 127.0.0.1 unless given) "
    "over the machine the windows show.\n"
    "--version\tShows the version.";

struct CommandLine {
  std::string_view cpu = "0.2c";
  bool cpu_given = false;
  std::string_view machine = "plain";
  bool expansion = false;
  std::optional<GdbEndpoint> gdb;
  std::optional<std::string_view> rom;
  const char* answer = nullptr;  // --help or --version: shown instead of running
  std::string error;
};

CommandLine read_command_line(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      line.answer = kUsage;
    } else if (argument == "--version") {
      line.answer = "korvel " KORVEL_VERSION;
    } else if (argument == "--cpu" && i + 1 < argc) {
      line.cpu = argv[++i];
      line.cpu_given = true;
    } else if (argument.starts_with("--cpu=")) {
      line.cpu = argument.substr(6);
      line.cpu_given = true;
    } else if (argument == "--machine" && i + 1 < argc) {
      line.machine = argv[++i];
    } else if (argument.starts_with("--machine=")) {
      line.machine = argument.substr(10);
    } else if (argument == "--gdb" || argument.starts_with("--gdb=")) {
      const bool separate = argument == "--gdb";
      if (separate && i + 1 == argc) {
        line.error = kGdbEndpointError;
        continue;
      }
      line.gdb = parse_gdb_endpoint(separate ? std::string_view(argv[++i]) : argument.substr(6));
      if (!line.gdb) line.error = kGdbEndpointError;
    } else if (argument == "--expansion") {
      line.expansion = true;
    } else if (argument.starts_with("-") && argument != "-") {
      line.error = "Unknown option: " + std::string(argument);
    } else if (line.rom) {
      line.error = "Give one ROM at most.";
    } else {
      line.rom = argument;
    }
  }
  return line;
}

// The program has no console: what it would print goes to a message box.
int show_and_end(const std::string& text, int exit_code) {
  MessageBoxA(nullptr, text.c_str(), "Korvel", MB_OK);
  return exit_code;
}

}  // namespace

// korvel [--cpu MODEL] [--machine NAME] [--expansion] [--gdb [ADDR:]PORT] [ROM]: the desktop
// program, opening ROM at once when one is given, with the processor model and hardware chosen
// (0.2c on plain storage unless told otherwise), and serving gdb when asked. The arguments come in
// UTF-8, the program's code page.
int main(int argc, char** argv) {
  const CommandLine line = read_command_line(argc, argv);
  if (line.answer) return show_and_end(line.answer, 0);
  const std::string error =
      line.error.empty() ? choose_machine(line.cpu, line.cpu_given, line.machine, line.expansion)
                         : line.error;
  if (!error.empty())
    return show_and_end("korvel: " + error + "\nTry 'korvel --help'.", kExitUsage);
  shared.engine = engine_from_environment(shared.engine);

  MainWindow window;
  // Without its window class or window the program ends at once, with no message.
  if (!window.handle()) return 0;
  ShowWindow(window.handle(), SW_SHOWMAXIMIZED);
  UpdateWindow(window.handle());
  if (line.gdb && !window.commands().serve_gdb(*line.gdb)) return kExitUsage;
  if (line.rom) window.open_rom(std::string(*line.rom).c_str());

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (take_dialog_message(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
