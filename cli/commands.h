#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "cpu/cpu_model.h"
#include "machine/hardware.h"
#include "machine/machine_state.h"
#include "machine/stops/watchpoints.h"

// Exit statuses: the command did its work (whatever the emulated program did), the ROM image was
// refused, the command line was wrong.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

struct RunOptions {
  std::string rom;
  std::optional<uint64_t> steps;
  std::optional<uint64_t> limit;
  std::optional<uint64_t> frames;
  std::string screenshot;  // the PNG to write after the run; none when empty
  bool no_stop = false;
  Engine engine = Engine::jit;
  bool show_count = false;
  bool trace = false;
  bool regs = false;
  CpuModel model = CpuModel::v02c;
  Hardware hardware = Hardware::plain_storage;
  bool expansion = false;  // the console's memory expansion
  std::vector<Watchpoint> watches;
};

struct ListOptions {
  std::string rom;
  uint64_t steps = 0;
  int64_t page = 0;
  CpuModel model = CpuModel::v02c;
  Hardware hardware = Hardware::plain_storage;
  bool expansion = false;  // the console's memory expansion
};

struct GdbServerOptions {
  std::string rom;
  std::string address = "127.0.0.1";
  uint16_t port = 4567;
  Engine engine = Engine::jit;
  uint64_t history_mb = 256;  // 0 for no history
  CpuModel model = CpuModel::v02c;
  Hardware hardware = Hardware::plain_storage;
  bool expansion = false;  // the console's memory expansion
};

struct DisasmOptions {
  uint32_t address = 0;
  std::vector<uint32_t> words;
  CpuModel model = CpuModel::v02c;
};

struct MakeRomOptions {
  std::string program;  // a statically linked big-endian MIPS ELF
  std::string output;
};

// Loads the image as Open ROM does, with the processor `model` and the `hardware` around it (with
// the memory expansion or not); false when it was refused (its message has been shown).
bool open_rom(const std::string& path, CpuModel model, Hardware hardware = Hardware::plain_storage,
              bool expansion = false);

int info_command(const std::string& rom_path);
int run_command(const RunOptions& options, CliHost& cli_host);
int list_command(const ListOptions& options);
int disasm_command(const DisasmOptions& options);
int gdbserver_command(const GdbServerOptions& options);
int rom_command(const MakeRomOptions& options);
