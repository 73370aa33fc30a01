// Instructions per second of the run thread (count hidden and shown in the title) and of the single
// step, on the spin sample: a seven-instruction loop in SP DMEM.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/rom_image.h"

namespace {

void load_spin() {
  if (!rom.rom_loaded && load_rom(KORVEL_SPIN_ROM) != 1) std::abort();
  reset_cpu();
}

void run_thread_rate(benchmark::State& state) {
  load_spin();
  shared.show_count = static_cast<int32_t>(state.range(0));
  uint64_t executed = 0;
  for (auto _ : state) {
    uint64_t count_before = cpu.cp0[kCountRegister];
    shared.running = 1;
    auto started = std::chrono::steady_clock::now();
    execution.start();
    // The window thread refreshes the title while the count is shown, as the desktop does.
    for (int tick = 0; tick < 10; ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      execution.refresh_count_title();
    }
    execution.halt();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    executed += cpu.cp0[kCountRegister] - count_before;
    state.SetIterationTime(elapsed.count());
  }
  state.SetItemsProcessed(static_cast<int64_t>(executed));
  shared.show_count = 0;
}

void single_step_rate(benchmark::State& state) {
  load_spin();
  for (auto _ : state) execution.step();
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(run_thread_rate)
    ->ArgName("count_shown")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(single_step_rate)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
