// Instructions per second of a C program under the complete processor model (--cpu r4300i): the
// C sample's work round after round (bench/sorting_rounds.c, built as samples/sorting.c is), on
// each engine under a limit, and of a plain word-fetch interpreter of the same code (`baseline`,
// in plain_interpreter.cpp), each engine's rate also as a ratio to the baseline measured just
// before it (medians of seven runs). Every run starts where the boot code has copied the program
// into RDRAM and jumped to it, and must end with the plain interpreter's registers after as many
// instructions, or the benchmark fails.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "bench/plain_interpreter.h"
#include "bench/rates.h"
#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"

namespace {

// The state the boot code leaves behind as it jumps to the program.
struct Start {
  CpuState cpu;
  std::vector<uint8_t> rdram;

  void put() const {
    ::cpu = cpu;
    std::memcpy(memory.rdram, rdram.data(), rdram.size());
  }
};

const Start& start() {
  static const Start booted = [] {
    choose_cpu_model(CpuModel::r4300i);
    if (load_rom(KORVEL_SORTING_ROUNDS_ROM) != 1) std::abort();
    while (cpu.pc < 0x80000000u || cpu.delay_slot_pending) execution.step();
    return Start{cpu, {memory.rdram, memory.rdram + sizeof memory.rdram}};
  }();
  return booted;
}

struct PlainRun {
  std::vector<uint64_t> registers;
  double rate;
};

// The plain interpreter's registers after `instructions` from the start, and its rate.
PlainRun plain_run(uint64_t instructions) {
  start().put();
  uint64_t registers[32];
  std::memcpy(registers, start().cpu.gpr, sizeof registers);
  auto started = std::chrono::steady_clock::now();
  run_plain_complete_interpreter(start().cpu.pc, registers, instructions);
  const double rate = instructions / seconds_since(started);
  return {{registers, registers + 32}, rate};
}

void baseline(benchmark::State& state) {
  for (auto _ : state) {
    const PlainRun plain = plain_run(30'000'000);
    report(state, 1'000'000, 1e6 / plain.rate, plain.rate);
  }
}

void limited_run(benchmark::State& state) {
  const Engine engine = static_cast<Engine>(state.range(0));
  const uint64_t limit = instructions_for(engine);
  // The plain interpreter's registers after as many instructions, once for each limit.
  static std::map<uint64_t, std::vector<uint64_t>> expected;
  if (!expected.count(limit)) expected[limit] = plain_run(limit).registers;
  for (auto _ : state) {
    const double baseline = plain_run(30'000'000).rate;
    start().put();
    shared.engine = engine;
    report(state, limit, limited_run_seconds(limit), baseline);
    if (std::vector<uint64_t>(cpu.gpr, cpu.gpr + 32) != expected[limit]) {
      state.SkipWithError("the registers differ from the plain interpreter's");
    }
  }
}

}  // namespace

KORVEL_RATE(baseline);
KORVEL_RATE(limited_run)
    ->ArgName("engine")
    ->Arg(static_cast<int64_t>(Engine::exact))
    ->Arg(static_cast<int64_t>(Engine::decoded))
    ->Arg(static_cast<int64_t>(Engine::jit));

BENCHMARK_MAIN();
