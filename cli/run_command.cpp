// run: the program executed as Start CPU or the Step button executes it.
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/run_watcher.h"
#include "cli/screenshot.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"

namespace {

// How a watchpoint stop names the DMA engine that wrote, after the address.
const char* dma_named(std::optional<DmaSource> dma) {
  if (!dma) return "";
  switch (*dma) {
    case DmaSource::pi:
      return " dma pi";
    case DmaSource::si:
      return " dma si";
    case DmaSource::sp:
      return " dma sp";
  }
  return "";
}

// The first reason that applies to the last instruction of the run or of the steps. A run always
// ends on one of the first seven; "steps" is left for the steps, which stop nowhere else.
std::string stop_reason(StopReason last, const RunWatcher& watcher) {
  const uint32_t pc = static_cast<uint32_t>(read_register({RegisterFile::pc}));
  if (last == StopReason::unhandled_opcode) return "unhandled opcode";
  if (pc == kBreakpointAddress) return "breakpoint";
  if (pc == kStopAddress) return "stop address";
  if (last == StopReason::memory_error) return "memory error";
  if (last == StopReason::watchpoint) {
    if (std::optional<WatchHit> hit = take_watch_hit()) {
      char text[40];
      std::snprintf(text, sizeof text, "watchpoint %s %08" PRIx32 "%s",
                    hit->write ? "write" : "read", hit->address, dma_named(hit->dma));
      return text;
    }
  }
  if (watcher.frames_reached()) return "frames";
  if (watcher.limit_reached()) return "limit";
  return "steps";
}

// As Start CPU does: the title names the ROM (by its path when the header's name is empty), then
// a run thread starts from the current state.
StopReason run(RunWatcher& watcher) {
  start_cpu(watcher.observer());
  StopReason reason = execution.wait_for_run_end();
  // The title the window thread would show last, with the final count.
  execution.refresh_count_title();
  return reason;
}

// The steps end early at a watched access, as a run does.
StopReason take_steps(uint64_t steps, RunWatcher& watcher) {
  StopReason last = StopReason::step_done;
  for (uint64_t i = 0; i < steps && last != StopReason::watchpoint; ++i) {
    last = execution.step(watcher.observer());
  }
  return last;
}

void print_register(const std::string& name, uint64_t value) {
  std::printf("%s %016" PRIx64 "\n", name.c_str(), value);
}

void print_registers() {
  const CpuState state = processor_state();
  std::printf("pc %08" PRIx32 "\n", state.pc);
  print_register("hi", state.hi_reg);
  print_register("lo", state.lo_reg);
  for (int n = 0; n < 32; ++n) print_register("gpr" + std::to_string(n), state.gpr[n]);
  for (int n = 0; n < 32; ++n) print_register("cp0_" + std::to_string(n), state.cp0[n]);
  for (int n = 0; n < 32; ++n) {
    print_register("fpr" + std::to_string(n), std::bit_cast<uint64_t>(state.fpr[n]));
  }
}

}  // namespace

int run_command(const RunOptions& options, CliHost& cli_host) {
  shared.stop_on_unhandled = options.no_stop ? 0 : 1;
  shared.engine = options.engine;
  shared.show_count = options.show_count ? 1 : 0;
  if (!open_rom(options.rom, options.model, options.hardware, options.expansion))
    return kExitRefused;
  for (const Watchpoint& watch : options.watches) set_watchpoint(watch);

  RunWatcher watcher(options.trace, options.limit, options.frames, options.model);
  StopReason last = options.steps ? take_steps(*options.steps, watcher) : run(watcher);
  if (options.show_count)
    std::printf("title: %s\n", one_line(cli_host.last_title().c_str()).c_str());
  if (options.regs) print_registers();
  const bool written = options.screenshot.empty() || write_screenshot(options.screenshot);
  std::printf("stopped: %s\n", stop_reason(last, watcher).c_str());
  return written ? kExitDone : kExitRefused;
}
