// korvel-cli: the core without a window, for scripts, CI and trace diffs. Everything it prints is
// the text the desktop program would show.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "cli/commands.h"
#include "cli/numbers.h"
#include "cli/watch_option.h"
#include "machine/history/history.h"
#include "machine/menu_commands.h"
#include "platform/console_output.h"
#include "platform/physical_memory.h"

namespace {

constexpr const char* kUsage =
    "usage: korvel-cli info ROM\n"
    "       korvel-cli run ROM [--steps N | --limit N | --frames N] [--no-stop] [--show-count] "
    "[--trace] [--regs] [--watch WATCH]... [--engine NAME] [--cpu MODEL] [--machine NAME] "
    "[--expansion] [--screenshot FILE.png]\n"
    "       korvel-cli list ROM [--steps N] [--page K] [--cpu MODEL] [--machine NAME] "
    "[--expansion]\n"
    "       korvel-cli disasm [--address ADDR] WORD... [--cpu MODEL]\n"
    "       korvel-cli gdbserver ROM [--port N] [--listen ADDR] [--engine NAME] "
    "[--history-mb N] [--cpu MODEL] [--machine NAME] [--expansion]\n"
    "       korvel-cli rom PROGRAM.elf -o ROM\n"
    "       korvel-cli --help | --version\n";

constexpr const char* kNeedsConsole = "needs the console machine (--machine console)";

template <class T>
T number_or_throw(const std::string& name, const std::string& text) {
  std::optional<T> number = parse_number<T>(text);
  if (!number)
    throw CLI::ValidationError(
        name, "'" + text + "' is not a number in range (decimal, or hexadecimal after 0x)");
  return *number;
}

template <class T>
struct NumberOf {
  using type = T;
};
template <class T>
struct NumberOf<std::optional<T>> {
  using type = T;
};

// An option whose value is written in decimal or with a 0x prefix; `value` is the number or an
// optional one.
template <class T>
CLI::Option* add_number(CLI::App& command, const std::string& name, T& value,
                        const std::string& type, const std::string& help) {
  auto store = [&value, name](const std::string& text) {
    value = number_or_throw<typename NumberOf<T>::type>(name, text);
  };
  return command.add_option_function<std::string>(name, store, help)->type_name(type);
}

// An option that takes one of a few names, which `named` turns into a value.
template <class T>
CLI::Option* add_choice(CLI::App& command, const std::string& name, T& value,
                        std::optional<T> (*named)(std::string_view), const std::string& choices,
                        const std::string& type, const std::string& help) {
  auto store = [&value, named, name, choices](const std::string& text) {
    std::optional<T> chosen = named(text);
    if (!chosen) throw CLI::ValidationError(name, "'" + text + "' is not " + choices);
    value = *chosen;
  };
  return command.add_option_function<std::string>(name, store, help)->type_name(type);
}

// How the run thread executes: KORVEL_ENGINE in the environment chooses it for both programs, and
// --engine for this command.
CLI::Option* add_engine(CLI::App& command, Engine& engine) {
  engine = engine_from_environment(engine);
  return add_choice(command, "--engine", engine, engine_named, "exact, decoded or jit", "NAME",
                    "exact, decoded or jit (the default): the same results, at different speeds");
}

// The processor model: the 0.2c subset (the default) or the complete R4300i.
CLI::Option* add_cpu_model(CLI::App& command, CpuModel& model) {
  return add_choice(command, "--cpu", model, cpu_model_named, "0.2c or r4300i", "MODEL",
                    "0.2c (the default: the subset of version 0.2c) or r4300i (the complete "
                    "integer unit, coprocessor 0 and the FPU)");
}

// The hardware around the processor. The console's has the complete processor: a command line
// that asks for another is refused, as is the memory expansion without the console.
struct MachineOption {
  CLI::Option* cpu;
  CpuModel* model;
  Hardware* hardware;
  const bool* expansion;

  void settle() const {
    if (*expansion && *hardware != Hardware::console)
      throw CLI::ValidationError("--expansion", kNeedsConsole);
    if (*hardware != Hardware::console) return;
    if (cpu->count() != 0 && *model != CpuModel::r4300i) {
      throw CLI::ValidationError("--machine",
                                 "the console machine has the complete processor (--cpu r4300i)");
    }
    *model = CpuModel::r4300i;
  }
};

template <class Options>
MachineOption add_machine(CLI::App& command, Options& options) {
  CLI::Option* cpu = add_cpu_model(command, options.model);
  add_choice(command, "--machine", options.hardware, hardware_named, "plain or console", "NAME",
             "plain (the default: the hardware registers as plain storage) or console (the "
             "console's hardware and boot, with --cpu r4300i)");
  command.add_flag("--expansion", options.expansion,
                   "the console with the memory expansion: 8 MB of RDRAM instead of 4 (--machine "
                   "console)");
  return {cpu, &options.model, &options.hardware, &options.expansion};
}

// A history must hold one snapshot of the whole machine, and may not ask for more memory than
// the machine has.
void check_history_budget(uint64_t megabytes, const GdbServerOptions& machine) {
  if (megabytes == 0) return;
  const uint32_t rdram = rdram_bytes_of(machine.hardware, machine.expansion);
  const uint64_t smallest = (History::smallest_budget(rdram) + (1 << 20) - 1) >> 20;
  if (megabytes < smallest) {
    throw CLI::ValidationError("--history-mb", std::to_string(megabytes) +
                                                   " MB cannot hold one snapshot of the machine, " +
                                                   "which takes " + std::to_string(smallest) +
                                                   " MB: give " + std::to_string(smallest) +
                                                   " or more, or 0 for no history");
  }
  const uint64_t available = physical_memory_bytes() >> 20;
  if (available != 0 && megabytes > available) {
    throw CLI::ValidationError("--history-mb", std::to_string(megabytes) +
                                                   " MB is more than this machine's memory (" +
                                                   std::to_string(available) + " MB)");
  }
}

CLI::Option* add_rom(CLI::App& command, std::string& path) {
  auto not_empty = [](std::string& text) {
    return text.empty() ? std::string("the ROM path is empty") : std::string();
  };
  return command.add_option("ROM", path, "the ROM image (.z64 native, .v64 byte-swapped)")
      ->required()
      ->check(CLI::Validator(not_empty, "", "not empty"));
}

// Help shows an option's value name and description, without CLI11's own notes ("Excludes:
// --limit", "TEXT REQUIRED"): the descriptions say as much in words.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_positional() || option->get_type_size() == 0) return {};
    return " " + option->get_type_name();
  }
  // Every command's usage closes the program's help; a command's own help has its usage line.
  std::string make_footer(const CLI::App* app) const override {
    return app->get_parent() ? std::string() : std::string(kUsage);
  }
};

}  // namespace

int main(int argc, char** argv) {
  write_standard_streams_as_bytes();
  CliHost cli_host;
  set_host(&cli_host);

  CLI::App app("korvel-cli runs Korvel's core without a window.", "korvel-cli");
  app.set_version_flag("--version", "korvel-cli " KORVEL_VERSION, "Print the version and exit");
  // Options start with dashes on every system: on Windows a path may start with a slash.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.formatter(std::make_shared<HelpFormatter>());

  std::string info_rom;
  CLI::App* info = app.add_subcommand("info", "Print the header lines the main window paints");
  add_rom(*info, info_rom);

  RunOptions run_options;
  CLI::App* run = app.add_subcommand("run", "Load a ROM and execute it");
  add_rom(*run, run_options.rom);
  CLI::Option* steps =
      add_number(*run, "--steps", run_options.steps, "N", "N single steps instead of a run");
  CLI::Option* limit =
      add_number(*run, "--limit", run_options.limit, "N",
                 "pause the run after N instructions (not with --steps or --frames)")
          ->excludes(steps);
  add_number(*run, "--frames", run_options.frames, "N",
             "pause the run after the console's N-th VI interrupt (--machine console; not with "
             "--steps or --limit)")
      ->excludes(steps)
      ->excludes(limit);
  run->add_option("--screenshot", run_options.screenshot,
                  "after the run, write the picture the console's video interface shows as a PNG "
                  "file (--machine console)")
      ->type_name("FILE.png");
  run->add_flag("--no-stop", run_options.no_stop, "start with Stop on unhandled opcode unchecked");
  add_engine(*run, run_options.engine);
  run->add_flag("--show-count", run_options.show_count,
                "show the count in the title and print the final title");
  run->add_flag("--trace", run_options.trace, "print each instruction before it executes");
  run->add_flag("--regs", run_options.regs, "print the registers after the run");
  auto store_watches = [&run_options](const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
      std::optional<Watchpoint> watch = parse_watch_option(text);
      if (!watch) {
        throw CLI::ValidationError("--watch",
                                   "'" + text + "' is not ADDR[,LEN][:r|w|a] with LEN 1 to 8");
      }
      run_options.watches.push_back(*watch);
    }
    if (run_options.watches.size() > Watchpoints::kMost) {
      throw CLI::ValidationError("--watch",
                                 "at most " + std::to_string(Watchpoints::kMost) + " watchpoints");
    }
  };
  run->add_option_function<std::vector<std::string>>(
         "--watch", store_watches,
         "stop after an instruction reads (r), writes (w, the default) or accesses (a) any of LEN "
         "bytes (default 4) at ADDR; repeatable")
      ->type_name("ADDR[,LEN][:r|w|a]")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  const MachineOption run_machine = add_machine(*run, run_options);

  ListOptions list_options;
  CLI::App* list = app.add_subcommand("list", "Print the Commands window's listing");
  add_rom(*list, list_options.rom);
  add_number(*list, "--steps", list_options.steps, "N", "single steps before the window opens");
  add_number(*list, "--page", list_options.page, "K", "press + 256 K times, or - 256 -K times");
  const MachineOption list_machine = add_machine(*list, list_options);

  DisasmOptions disasm_options;
  CLI::App* disasm = app.add_subcommand("disasm", "Disassemble instruction words");
  add_number(*disasm, "--address", disasm_options.address, "ADDR", "address of the first word");
  add_cpu_model(*disasm, disasm_options.model);
  auto store_words = [&disasm_options](const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
      disasm_options.words.push_back(number_or_throw<uint32_t>("WORD", text));
  };
  disasm->add_option_function<std::vector<std::string>>("WORD", store_words, "instruction words")
      ->type_name("WORD")
      ->required();

  GdbServerOptions gdbserver_options;
  CLI::App* gdbserver = app.add_subcommand("gdbserver", "Serve the ROM to gdb over TCP");
  add_rom(*gdbserver, gdbserver_options.rom);
  add_engine(*gdbserver, gdbserver_options.engine);
  add_number(*gdbserver, "--port", gdbserver_options.port, "N",
             "TCP port, 0 for any free one (default 4567)");
  gdbserver
      ->add_option("--listen", gdbserver_options.address,
                   "address to listen on (default 127.0.0.1)")
      ->type_name("ADDR");
  add_number(*gdbserver, "--history-mb", gdbserver_options.history_mb, "N",
             "memory for stepping backwards, in MB (default 256; 0 for none)");
  const MachineOption gdbserver_machine = add_machine(*gdbserver, gdbserver_options);

  MakeRomOptions rom_options;
  CLI::App* make_rom =
      app.add_subcommand("rom", "Make a ROM that loads and starts a static MIPS ELF program");
  make_rom->add_option("PROGRAM", rom_options.program, "the program (.elf)")->required();
  make_rom->add_option("-o", rom_options.output, "the ROM image to write (.z64)")
      ->type_name("ROM")
      ->required();

  try {
    app.parse(argc, argv);
    // A limit of none would never be reached: the count is taken after each instruction.
    if (run_options.limit == uint64_t{0})
      throw CLI::ValidationError("--limit", "N must be 1 or more");
    if (run_options.frames == uint64_t{0})
      throw CLI::ValidationError("--frames", "N must be 1 or more");
    for (const MachineOption& machine : {run_machine, list_machine, gdbserver_machine})
      machine.settle();
    if (*gdbserver) check_history_budget(gdbserver_options.history_mb, gdbserver_options);
    // Frames and pictures are the console's video interface's.
    if (run_options.hardware != Hardware::console) {
      for (const char* name : {"--frames", "--screenshot"}) {
        if (run->count(name) != 0) throw CLI::ValidationError(name, kNeedsConsole);
      }
    }
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
    std::fprintf(stderr, "korvel-cli: %s\n%s", error.what(), kUsage);
    return kExitUsage;
  }

  if (*info) return info_command(info_rom);
  if (*run) return run_command(run_options, cli_host);
  if (*list) return list_command(list_options);
  if (*gdbserver) return gdbserver_command(gdbserver_options);
  if (*make_rom) return rom_command(rom_options);
  return disasm_command(disasm_options);
}
