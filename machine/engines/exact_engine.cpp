#include "machine/engines/exact_engine.h"

#include <algorithm>
#include <cstring>

#include "cpu/scheduler.h"
#include "machine/engines/execute_from.h"
#include "machine/stops/stops.h"
#include "memory/bus.h"

// Whether the run loop must look before the next instruction: an event is due (Count and the
// devices have been read at the clock of each instruction), `running` was cleared, a byte under a
// watchpoint was touched (`watching`: any are set), or the rule of the run's stops may apply
// (`breakpoints`: whether there are any, which changes only while no run goes on).
inline bool ExactEngine::batch_ends(bool breakpoints, bool watching) const {
  return scheduler.now >= scheduler.next || !running_.load(std::memory_order_relaxed) ||
         (watching && watchpoints.hit_pending()) || may_stop_at(cpu.pc) ||
         (breakpoints && user_breakpoints.contains(fetch_address(cpu)));
}

// One instruction whose fetch the observer sees when it asks to see every one; otherwise up to
// `budget` (at least one), as many as the observer lets pass unseen.
EngineRun ExactEngine::run(uint32_t budget, RunObserver* observer) {
  const uint64_t unseen = observer ? observer->unseen_allowed() : UINT64_MAX;
  if (unseen == 0) {
    const bool refused = not_carried_out(fetch_and_execute(fetch_, observer));
    advance_clock(1);
    return {1, refused};
  }
  const uint32_t limit = static_cast<uint32_t>(std::min<uint64_t>(unseen, std::max(budget, 1u)));
  const bool breakpoints = !user_breakpoints.empty();
  if (cpu.model != CpuModel::r4300i) return run_as<CpuModel::v02c, false>(limit, breakpoints);
  // The complete model's handlers never name themselves, and keep register 0 at 0.
  std::memcpy(cpu.opcode_name.data, "Reading", sizeof "Reading");
  cpu.gpr[0] = 0;
  return bus.console ? run_as<CpuModel::r4300i, true>(limit, breakpoints)
                     : run_as<CpuModel::r4300i, false>(limit, breakpoints);
}

template <CpuModel kModel, bool kLooksForWaits>
EngineRun ExactEngine::run_as(uint32_t limit, bool breakpoints) {
  return watchpoints.empty() ? run_batch<kModel, false, kLooksForWaits>(limit, breakpoints)
                             : run_batch<kModel, true, kLooksForWaits>(limit, breakpoints);
}

template <CpuModel kModel, bool kWatching, bool kLooksForWaits>
EngineRun ExactEngine::run_batch(uint32_t limit, bool breakpoints) {
  for (uint32_t ran = 1;; ++ran) {
    const bool from_delay_slot = cpu.delay_slot_pending != 0;
    const uint32_t address = from_delay_slot ? cpu.delay_slot_pc : cpu.pc;
    const bool refused =
        not_carried_out(execute_from<kModel, kWatching>(fetch_, nullptr, address, from_delay_slot));
    advance_clock(1);
    if (refused) return {ran, true};
    if (ran >= limit || batch_ends(breakpoints, kWatching)) return {ran, false};
    // A delay slot that has just sent control a little way back may have reached a loop that
    // waits: the run loop's next turn lets `idle_` look.
    if (kLooksForWaits && from_delay_slot && address - cpu.pc - 1 < 4 * IdleLoops::kLongest &&
        !cpu.delay_slot_pending && idle_.worth_a_look(cpu.pc)) {
      return {ran, false};
    }
  }
}
