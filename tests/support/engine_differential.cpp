#include "tests/support/engine_differential.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/scheduler.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "tests/support/cpu_difference.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/rom_image.h"

namespace {

// The programs keep their data in the first 64 KB of RDRAM.
constexpr std::size_t kRdramWindow = 0x10000;

struct PlainStorage {
  std::vector<uint8_t> rdram, sp_dmem, sp_imem;

  static PlainStorage take() {
    return {{memory.rdram, memory.rdram + kRdramWindow},
            {memory.sp_dmem, memory.sp_dmem + sizeof memory.sp_dmem},
            {memory.sp_imem, memory.sp_imem + sizeof memory.sp_imem}};
  }
  void put() const {
    std::memcpy(memory.rdram, rdram.data(), rdram.size());
    std::memcpy(memory.sp_dmem, sp_dmem.data(), sp_dmem.size());
    std::memcpy(memory.sp_imem, sp_imem.data(), sp_imem.size());
  }
  bool operator==(const PlainStorage&) const = default;
};

// What can be seen of the machine at a stop.
struct Seen {
  CpuState cpu;
  PlainStorage storage;
  long cartridge_position;
  std::vector<RecordingHost::Message> messages;
  StopReason reason;
  std::string watch_hit;
  int32_t running;

  // The first difference, in words; empty when there is none.
  std::string difference(const Seen& other) const {
    FirstDifference first;
    first.compare(cpu, other.cpu);
    first.compare("stop reason", static_cast<int>(reason), static_cast<int>(other.reason));
    first.compare("watched access", watch_hit, other.watch_hit);
    first.compare("running", running, other.running);
    first.compare("cartridge position", cartridge_position, other.cartridge_position);
    first.compare("messages", messages.size(), other.messages.size());
    for (std::size_t i = 0; i < messages.size() && i < other.messages.size(); ++i) {
      first.compare("message", messages[i].caption + ": " + messages[i].text,
                    other.messages[i].caption + ": " + other.messages[i].text);
    }
    first.compare("plain storage", true, storage == other.storage);
    return first.text();
  }
};

struct Start {
  CpuState cpu;
  Scheduler scheduler;  // whose clock the complete model's Random counts from
  PlainStorage storage;
  long cartridge_position;

  void put() const {
    ::cpu = cpu;
    ::scheduler = scheduler;
    storage.put();
    std::fseek(rom.rom_file, cartridge_position, SEEK_SET);
  }
};

Seen run_from(const Start& start, Engine engine, uint64_t limit, RecordingHost& recorder) {
  start.put();
  recorder.clear();
  shared.engine = engine;
  InstructionLimit observer(limit);
  shared.running = 1;
  execution.start(limit ? &observer : nullptr);
  Seen seen{};
  seen.reason = execution.wait_for_run_end();
  if (std::optional<WatchHit> hit = watchpoints.take_hit()) {
    char text[48];
    std::snprintf(text, sizeof text, "kind %d write %d at %08x", static_cast<int>(hit->kind),
                  hit->write, hit->address);
    seen.watch_hit = text;
  }
  seen.cpu = cpu;
  seen.storage = PlainStorage::take();
  seen.cartridge_position = std::ftell(rom.rom_file);
  seen.messages = recorder.messages();
  seen.running = shared.running;
  return seen;
}

}  // namespace

void expect_engine_matches_exact(Engine engine, const DifferentialProgram& program,
                                 RecordingHost& recorder) {
  TempDir dir;
  RomImage image;
  image.boot_code = to_bytes(program.boot_code);
  image.cartridge = program.cartridge;
  choose_cpu_model(program.model);
  ASSERT_EQ(load_rom(dir.write("program.z64", image.native()).c_str()), 1);
  shared.stop_on_unhandled = program.stop_on_unhandled ? 1 : 0;
  user_breakpoints.clear();
  for (uint32_t address : program.user_breakpoints) user_breakpoints.insert(address);
  watchpoints.clear();
  for (const Watchpoint& watchpoint : program.watchpoints) watchpoints.insert(watchpoint);
  if (program.prepare) program.prepare();
  const Start start{cpu, scheduler, PlainStorage::take(), std::ftell(rom.rom_file)};

  int differences = 0;
  for (int limit = 1; limit <= program.longest_limit + 1 && differences < 3; ++limit) {
    // The last round runs without a limit, to wherever the program stops by itself.
    const uint64_t chosen = limit <= program.longest_limit ? static_cast<uint64_t>(limit) : 0;
    const Seen exact = run_from(start, Engine::exact, chosen, recorder);
    const Seen other = run_from(start, engine, chosen, recorder);
    std::string difference = exact.difference(other);
    if (!difference.empty()) {
      ++differences;
      ADD_FAILURE() << "limit " << chosen << ": " << difference;
    }
  }
  shared.engine = Engine::decoded;
  user_breakpoints.clear();
  watchpoints.clear();
}

std::string engine_test_name(Engine engine) {
  switch (engine) {
    case Engine::exact:
      return "Exact";
    case Engine::decoded:
      return "Decoded";
    case Engine::jit:
      return "Translated";
  }
  return "";
}
