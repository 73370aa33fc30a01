// What the history costs and how fast it goes back, on the spin sample (no stores at all) and on
// page_writer (a store into a new page of RDRAM every 4,006 instructions), on the translator
// unless the name gives another engine:
// - recording_*: the run thread's rate while recording with the default budget and spacing, from
//   a fresh history (M_per_s); its ratio to the same run without
//   recording, measured next to it, by the clock (x_plain: 0.9 means recording costs a tenth of
//   the speed) and by processor time (x_plain_cpu, which wanders less on a shared machine); and
//   the share of the recorded run spent taking snapshots (snapshot_share);
// - reverse_step_*: how long one step back takes after a recorded run of 10^9 instructions (ten
//   times that for page_writer, which then fills the budget), what the history then holds
//   (MB_kept of MB_budget), and the process's peak resident memory (run one benchmark alone, with
//   --benchmark_filter, for a peak of its own).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <malloc.h>
#include <sys/resource.h>

#include "machine/execution.h"
#include "machine/history/history.h"
#include "machine/instruction_limit.h"
#include "machine/menu_commands.h"
#include "machine/object/machine.h"

namespace {

constexpr uint64_t kRunLength = 1'000'000'000;

double seconds_since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void load(const char* path) {
  machine.reset();
  if (load_rom(path) != 1) std::abort();
}

// The processor time the whole process has used, in seconds: on a machine shared with other
// work, it wanders much less than the time on the clock.
double process_seconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](timeval time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Took {
  double seconds;
  double processor_seconds;
};

// A run of `instructions` from the current state.
Took run_for(uint64_t instructions) {
  InstructionLimit limit(instructions);
  shared.running = 1;
  auto started = std::chrono::steady_clock::now();
  const double processor_before = process_seconds();
  execution.start(&limit);
  execution.wait_for_run_end();
  return {seconds_since(started), process_seconds() - processor_before};
}

// The most memory the process has held, in MB.
double peak_resident_mb() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  double kilobytes = 0;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kilobytes = std::atof(line + 6);
  }
  std::fclose(status);
  return kilobytes / 1024;
}

// Runs of `length` instructions with and without recording; the two take turns going first, so
// that neither gains from the order.
void recording(benchmark::State& state, const char* rom, Engine engine, uint64_t length) {
  static bool recorded_first = false;
  load(rom);
  shared.engine = engine;
  for (auto _ : state) {
    recorded_first = !recorded_first;
    Took plain{};
    if (!recorded_first) plain = run_for(length);
    history.start();
    const Took recorded = run_for(length);
    const double snapshot_seconds = history.snapshot_time().count();
    history.stop();
    // Every recording then takes its memory fresh from the system, as a new server's does.
    malloc_trim(0);
    if (recorded_first) plain = run_for(length);
    state.SetIterationTime(recorded.seconds);
    state.counters["M_per_s"] = length / recorded.seconds / 1e6;
    state.counters["x_plain"] = plain.seconds / recorded.seconds;
    state.counters["x_plain_cpu"] = plain.processor_seconds / recorded.processor_seconds;
    state.counters["snapshot_share"] = snapshot_seconds / recorded.seconds;
  }
}

void reverse_step(benchmark::State& state, const char* rom, Engine engine, uint64_t length) {
  load(rom);
  shared.engine = engine;
  history.start();
  run_for(length);
  for (auto _ : state) {
    auto started = std::chrono::steady_clock::now();
    if (history.step_back() != ReverseEnd::arrived) std::abort();
    state.SetIterationTime(seconds_since(started));
  }
  state.counters["snapshots"] = static_cast<double>(history.snapshot_count());
  state.counters["MB_kept"] = static_cast<double>(history.bytes_used()) / (1 << 20);
  state.counters["MB_budget"] = static_cast<double>(History::kDefaultBudget) / (1 << 20);
  state.counters["peak_RSS_MB"] = peak_resident_mb();
  history.stop();
}

// The translator runs 10^9 instructions in a fraction of a second: four times that, for a
// recording of some length.
void recording_spin(benchmark::State& state) {
  recording(state, KORVEL_SPIN_ROM, Engine::jit, 4 * kRunLength);
}
void recording_spin_exact(benchmark::State& state) {
  recording(state, KORVEL_SPIN_ROM, Engine::exact, kRunLength / 10);
}
void recording_pages(benchmark::State& state) {
  recording(state, KORVEL_PAGE_WRITER_ROM, Engine::jit, 4 * kRunLength);
}
void recording_pages_decoded(benchmark::State& state) {
  recording(state, KORVEL_PAGE_WRITER_ROM, Engine::decoded, kRunLength);
}
void reverse_step_spin(benchmark::State& state) {
  reverse_step(state, KORVEL_SPIN_ROM, Engine::jit, kRunLength);
}
void reverse_step_spin_exact(benchmark::State& state) {
  reverse_step(state, KORVEL_SPIN_ROM, Engine::exact, kRunLength);
}
void reverse_step_pages(benchmark::State& state) {
  // Long enough for the budget to drop the oldest snapshots.
  reverse_step(state, KORVEL_PAGE_WRITER_ROM, Engine::jit, 10 * kRunLength);
}

}  // namespace

#define KORVEL_RECORDING(function)    \
  BENCHMARK(function)                 \
      ->UseManualTime()               \
      ->Unit(benchmark::kMillisecond) \
      ->Iterations(1)                 \
      ->Repetitions(9)                \
      ->ReportAggregatesOnly(true)
#define KORVEL_REVERSE_STEP(function) \
  BENCHMARK(function)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)

KORVEL_RECORDING(recording_spin);
KORVEL_RECORDING(recording_spin_exact);
KORVEL_RECORDING(recording_pages);
KORVEL_RECORDING(recording_pages_decoded);
KORVEL_REVERSE_STEP(reverse_step_spin);
KORVEL_REVERSE_STEP(reverse_step_spin_exact);
KORVEL_REVERSE_STEP(reverse_step_pages);

BENCHMARK_MAIN();
