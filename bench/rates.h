#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "machine/execution.h"
#include "machine/instruction_limit.h"
#include "machine/machine_state.h"

// What the run-rate benchmarks share: each rate in millions of instructions per second and as a
// ratio to a plain interpreter's rate measured just before it, since absolute rates on a shared
// machine wander; medians of seven runs of one iteration each, timed by the benchmark itself.

inline double seconds_since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// A run's rate, and its ratio to the baseline measured just before it.
inline void report(benchmark::State& state, uint64_t instructions, double seconds,
                   double baseline) {
  state.SetIterationTime(seconds);
  state.counters["M_per_s"] = instructions / seconds / 1e6;
  state.counters["x_baseline"] = instructions / seconds / baseline;
}

// Runs the machine from where it stands for `instructions`, as --limit has it; the seconds taken.
inline double limited_run_seconds(uint64_t instructions) {
  InstructionLimit observer(instructions);
  shared.running = 1;
  const auto started = std::chrono::steady_clock::now();
  execution.start(&observer);
  execution.wait_for_run_end();
  return seconds_since(started);
}

// Enough instructions on each engine for about a third of a second on the sample loops, and for
// the translator's start-up to vanish.
inline uint64_t instructions_for(Engine engine) {
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

#define KORVEL_RATE(function)         \
  BENCHMARK(function)                 \
      ->UseManualTime()               \
      ->Unit(benchmark::kMillisecond) \
      ->Iterations(1)                 \
      ->Repetitions(7)                \
      ->ReportAggregatesOnly(true)
