#pragma once

#include <atomic>
#include <cstdint>

#include "machine/engines/engine.h"
#include "machine/engines/idle_loops.h"
#include "machine/engines/instruction_fetch.h"

// The interpreter's own path, one instruction at a time: the reference every other engine keeps
// to, and the one that runs what they leave. After every instruction it advances the clock and
// makes the run loop's checks, so that it ends its batch exactly where the run loop would look.
class ExactEngine final : public ExecutionEngine {
 public:
  // `running`, cleared (by a read error, a pause or a limit), ends a batch after its instruction.
  // A batch also ends where a short jump back may have reached a loop that `idle` skips.
  ExactEngine(const std::atomic<int32_t>& running, IdleLoops& idle)
      : running_(running), idle_(idle) {}

  EngineRun run(uint32_t budget, RunObserver* observer) override;
  bool code_written(uint32_t) override { return false; }
  void forget_all() override {}

 private:
  bool batch_ends(bool breakpoints, bool watching) const;
  // Up to `limit` instructions of the model's, ending where a loop may wait when
  // `kLooksForWaits` (the console machine); `run_as` chooses whether the watchpoints see them.
  template <CpuModel kModel, bool kLooksForWaits>
  EngineRun run_as(uint32_t limit, bool breakpoints);
  template <CpuModel kModel, bool kWatching, bool kLooksForWaits>
  EngineRun run_batch(uint32_t limit, bool breakpoints);

  const std::atomic<int32_t>& running_;
  IdleLoops& idle_;
  FetchWindow fetch_;
};
