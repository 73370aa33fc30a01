// Instructions per second of the run thread on the spin sample (a seven-instruction loop in SP
// DMEM): on each engine, with the count hidden and shown in the title, and under a limit as
// korvel-cli's --limit sets one; and of the single step. Each rate is also given as a ratio to a
// plain word-fetch interpreter of the same loop (`baseline`), measured just before each run, since
// absolute rates on a shared machine wander.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"

namespace {

uint32_t word_at(const uint8_t* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, 4);
  return __builtin_bswap32(word);
}

// The state of the plain interpreter, in memory as any emulator's processor state is.
struct PlainProcessor {
  uint64_t r[32];
  uint32_t pc;
  uint32_t slot;
  bool pending;
  uint64_t count;
} plain;

// The fetch of an interpreter without decoded copies: the segments translated and the address
// checked against the storage, for every word (the spin loop stays in SP DMEM).
uint32_t plain_fetch(const uint8_t* dmem, uint32_t address) {
  const uint32_t physical = address - 0x80000000u < 0x40000000u ? address & 0x1FFFFFFFu : address;
  const uint32_t offset = physical - 0x04000000u;
  return offset <= 0x1000 - 4 ? word_at(dmem + offset) : 0;
}

// What a straightforward interpreter does for the spin loop's instructions: fetch the word, decode
// its fields, switch on the opcode, with the same delay-slot hand-over as Korvel's, and count.
uint64_t plain_interpreter(const uint8_t* dmem, uint32_t start, uint64_t instructions) {
  plain = PlainProcessor{};
  plain.pc = start;
  uint64_t* const r = plain.r;
  uint32_t& pc = plain.pc;
  uint32_t& slot = plain.slot;
  bool& pending = plain.pending;
  for (uint64_t n = 0; n < instructions; ++n) {
    const bool from_slot = pending;
    const uint32_t word = plain_fetch(dmem, from_slot ? slot : pc);
    const unsigned rs = (word >> 21) & 31, rt = (word >> 16) & 31, rd = (word >> 11) & 31;
    const uint64_t simm = static_cast<uint64_t>(static_cast<int16_t>(word & 0xFFFF));
    r[0] = 0;
    switch (word >> 26) {
      case 0:
        switch (word & 63) {
          case 33:
            r[rd] = r[rt] + static_cast<uint32_t>(r[rs]);
            break;
          case 36:
            r[rd] = r[rs] & r[rt];
            break;
          case 37:
            r[rd] = r[rs] | r[rt];
            break;
          case 38:
            r[rd] = r[rs] ^ r[rt];
            break;
        }
        pc += 4;
        break;
      case 4:
        if (r[rs] == r[rt]) {
          slot = pc + 4;
          pending = true;
          pc += static_cast<uint32_t>(simm << 2);
        } else {
          pc += 4;
        }
        break;
      case 9:
        r[rt] = r[rs] + simm;
        pc += 4;
        break;
    }
    if (from_slot) pending = false;
    ++plain.count;
  }
  uint64_t sum = pc + plain.count;
  for (uint64_t value : plain.r) sum += value;
  return sum;
}

double seconds_since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

// Instructions per second of the plain interpreter, over about a tenth of a second.
double baseline_rate() {
  constexpr uint64_t kInstructions = 40'000'000;
  auto started = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(plain_interpreter(memory.sp_dmem, kBootPc, kInstructions));
  return kInstructions / seconds_since(started);
}

// A run's rate, and its ratio to the baseline measured just before it.
void report(benchmark::State& state, uint64_t instructions, double seconds, double baseline) {
  state.SetIterationTime(seconds);
  state.counters["M_per_s"] = instructions / seconds / 1e6;
  state.counters["x_baseline"] = instructions / seconds / baseline;
}

void load_spin() {
  if (!rom.rom_loaded && load_rom(KORVEL_SPIN_ROM) != 1) std::abort();
  reset_cpu();
}

void baseline(benchmark::State& state) {
  load_spin();
  for (auto _ : state) {
    const double rate = baseline_rate();
    report(state, 1'000'000, 1e6 / rate, rate);
  }
}

// A run of about 0.3 s, paused as Pause CPU pauses it; the window thread refreshes the title
// meanwhile, as the desktop does.
void run_thread(benchmark::State& state, Engine engine, bool count_shown) {
  load_spin();
  shared.engine = engine;
  shared.show_count = count_shown;
  for (auto _ : state) {
    const double baseline = baseline_rate();
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
  shared.engine = Engine::decoded;
}

// Pauses the run once `limit` instructions have run, as korvel-cli's --limit does.
class Limit final : public RunObserver {
 public:
  explicit Limit(uint64_t limit) : left_(limit) {}
  uint64_t unseen_allowed() override { return left_; }
  void fetched(uint32_t, uint32_t) override {}
  void instructions_done(uint64_t count) override {
    left_ -= count;
    if (left_ == 0) shared.running = 0;
  }

 private:
  uint64_t left_;
};

void run_with_limit(benchmark::State& state, Engine engine) {
  load_spin();
  shared.engine = engine;
  const uint64_t limit = engine == Engine::exact ? 50'000'000 : 300'000'000;
  for (auto _ : state) {
    const double baseline = baseline_rate();
    Limit observer(limit);
    shared.running = 1;
    auto started = std::chrono::steady_clock::now();
    execution.start(&observer);
    execution.wait_for_run_end();
    report(state, limit, seconds_since(started), baseline);
  }
  shared.engine = Engine::decoded;
}

void single_step(benchmark::State& state) {
  load_spin();
  for (auto _ : state) execution.step();
  state.SetItemsProcessed(state.iterations());
}

void exact_hidden(benchmark::State& state) {
  run_thread(state, Engine::exact, false);
}
void decoded_hidden(benchmark::State& state) {
  run_thread(state, Engine::decoded, false);
}
void decoded_shown(benchmark::State& state) {
  run_thread(state, Engine::decoded, true);
}
void exact_limit(benchmark::State& state) {
  run_with_limit(state, Engine::exact);
}
void decoded_limit(benchmark::State& state) {
  run_with_limit(state, Engine::decoded);
}

}  // namespace

#define KORVEL_RATE(function)         \
  BENCHMARK(function)                 \
      ->UseManualTime()               \
      ->Unit(benchmark::kMillisecond) \
      ->Iterations(1)                 \
      ->Repetitions(7)                \
      ->ReportAggregatesOnly(true)

KORVEL_RATE(baseline);
KORVEL_RATE(exact_hidden);
KORVEL_RATE(decoded_hidden);
KORVEL_RATE(decoded_shown);
KORVEL_RATE(exact_limit);
KORVEL_RATE(decoded_limit);
BENCHMARK(single_step)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
