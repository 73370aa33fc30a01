// Instructions per second of the run thread on three sample loops (spin: register arithmetic;
// memloop: loads and stores over RDRAM; calls: a subroutine called and returned from), on each
// engine under a limit as korvel-cli's --limit sets one; of spin with the count hidden and shown
// in the title; and of the single step. Each rate is also given as a ratio to a plain word-fetch
// interpreter of the same loop (`baseline`, in this file) measured just before it, since absolute
// rates on a shared machine wander. `translation` reports the translator's time per block.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "bench/plain_interpreter.h"
#include "cpu/cpu_state.h"
#include "machine/engines/block_translator.h"
#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"

namespace {

enum Loop { kSpin, kMemloop, kCalls };
const char* const kRoms[] = {KORVEL_SAMPLES_DIR "/spin.z64", KORVEL_SAMPLES_DIR "/memloop.z64",
                             KORVEL_SAMPLES_DIR "/calls.z64"};

double seconds_since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void load(Loop loop) {
  if (load_rom(kRoms[loop]) != 1) std::abort();
}

// Instructions per second of the plain interpreter on the loaded loop, over about a tenth of a
// second; the machine is loaded again afterwards, as it wrote to RDRAM.
double baseline_rate(Loop loop) {
  constexpr uint64_t kInstructions = 30'000'000;
  auto started = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(run_plain_interpreter(kBootPc, kInstructions));
  const double rate = kInstructions / seconds_since(started);
  load(loop);
  return rate;
}

// A run's rate, and its ratio to the baseline measured just before it.
void report(benchmark::State& state, uint64_t instructions, double seconds, double baseline) {
  state.SetIterationTime(seconds);
  state.counters["M_per_s"] = instructions / seconds / 1e6;
  state.counters["x_baseline"] = instructions / seconds / baseline;
}

void baseline(benchmark::State& state) {
  const Loop loop = static_cast<Loop>(state.range(0));
  load(loop);
  for (auto _ : state) {
    const double rate = baseline_rate(loop);
    report(state, 1'000'000, 1e6 / rate, rate);
  }
}

// Enough instructions for about a third of a second, and for the translator's start-up to vanish.
uint64_t instructions_for(Engine engine) {
  switch (engine) {
    case Engine::exact:
      return 50'000'000;
    case Engine::decoded:
      return 300'000'000;
    case Engine::jit:
      return 1'000'000'000;
  }
  return 0;
}

void limited_run(benchmark::State& state) {
  const Loop loop = static_cast<Loop>(state.range(0));
  const Engine engine = static_cast<Engine>(state.range(1));
  const uint64_t limit = instructions_for(engine);
  load(loop);
  shared.engine = engine;
  for (auto _ : state) {
    const double baseline = baseline_rate(loop);
    InstructionLimit observer(limit);
    shared.running = 1;
    auto started = std::chrono::steady_clock::now();
    execution.start(&observer);
    execution.wait_for_run_end();
    report(state, limit, seconds_since(started), baseline);
  }
}

// A run of about 0.3 s, paused as Pause CPU pauses it; the window thread refreshes the title
// meanwhile, as the desktop does.
void paused_run(benchmark::State& state) {
  const Engine engine = static_cast<Engine>(state.range(0));
  load(kSpin);
  shared.engine = engine;
  shared.show_count = static_cast<int32_t>(state.range(1));
  for (auto _ : state) {
    const double baseline = baseline_rate(kSpin);
    uint64_t count_before = cpu.cp0[kCountRegister];
    shared.running = 1;
    auto started = std::chrono::steady_clock::now();
    execution.start();
    for (int tick = 0; tick < 10; ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      execution.refresh_count_title();
    }
    execution.halt();
    report(state, cpu.cp0[kCountRegister] - count_before, seconds_since(started), baseline);
  }
  shared.show_count = 0;
}

void single_step(benchmark::State& state) {
  load(kSpin);
  for (auto _ : state) execution.step();
  state.SetItemsProcessed(state.iterations());
}

// The translator's time per block: a program of 4000 blocks of three words each (two additions
// and a jump to the next), run once through, in RDRAM.
void translation(benchmark::State& state) {
  constexpr uint32_t kBlocks = 4000;
  load(kSpin);
  shared.engine = Engine::jit;
  auto put = [](uint32_t address, uint32_t word) {
    for (int k = 0; k < 4; ++k)
      memory.rdram[address + k] = static_cast<uint8_t>(word >> (24 - 8 * k));
  };
  for (uint32_t i = 0; i < kBlocks; ++i) {
    const uint32_t at = 0x1000 + 12 * i;
    put(at, 0x25080001);                                                    // addiu $t0, $t0, 1
    put(at + 4, 0x01284821);                                                // addu $t1, $t1, $t0
    put(at + 8, 0x08000000 | ((0x80000000u + at + 12) >> 2 & 0x03FFFFFF));  // j to the next
  }
  put(0x1000 + 12 * kBlocks, 0x08000000 | kStopAddress >> 2);  // j 0x040000A8
  for (auto _ : state) {
    const BlockTranslator::Statistics before = block_translator.statistics();
    cpu.pc = 0x80001000;
    shared.running = 1;
    execution.start();
    execution.wait_for_run_end();
    const BlockTranslator::Statistics& after = block_translator.statistics();
    const double blocks = static_cast<double>(after.blocks - before.blocks);
    state.counters["blocks"] = blocks;
    state.counters["full"] = static_cast<double>(after.flushes_when_full);
    state.counters["us_per_block"] =
        (after.translation_seconds - before.translation_seconds) / blocks * 1e6;
  }
}

void engines(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"loop", "engine"});
  for (Loop loop : {kSpin, kMemloop, kCalls}) {
    for (Engine engine : {Engine::exact, Engine::decoded, Engine::jit}) {
      benchmark->Args({loop, static_cast<int64_t>(engine)});
    }
  }
}

}  // namespace

#define KORVEL_RATE(function)         \
  BENCHMARK(function)                 \
      ->UseManualTime()               \
      ->Unit(benchmark::kMillisecond) \
      ->Iterations(1)                 \
      ->Repetitions(7)                \
      ->ReportAggregatesOnly(true)

KORVEL_RATE(baseline)->ArgName("loop")->Arg(kSpin)->Arg(kMemloop)->Arg(kCalls);
KORVEL_RATE(limited_run)->Apply(engines);
KORVEL_RATE(paused_run)
    ->ArgNames({"engine", "count_shown"})
    ->Args({static_cast<int64_t>(Engine::decoded), 0})
    ->Args({static_cast<int64_t>(Engine::decoded), 1})
    ->Args({static_cast<int64_t>(Engine::jit), 0})
    ->Args({static_cast<int64_t>(Engine::jit), 1});
BENCHMARK(single_step)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(translation)->Iterations(1);

BENCHMARK_MAIN();
