#pragma once

#include <algorithm>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/exceptions.h"
#include "cpu/scheduler.h"
#include "machine/engines/engine.h"

// How many of `budget` instructions the fast engines may run from where the machine stands: no more
// than the observer lets pass unseen, and none past the scheduler's next event (the timer's among
// them), which the run loop takes between batches.
//
// The complete model looks before each instruction for an interrupt to take and for an address
// error of the fetch, and at every load and store for a watched address; the fast engines do none
// of that. They run nothing outside kernel mode, where every address a word they run fetches or
// reaches in KSEG0 and KSEG1 (all they reach) is allowed, nor while an enabled interrupt is
// pending or WatchLo watches. Nothing they run changes Status, Cause, Count, Compare or WatchLo.
inline uint32_t fast_budget(uint32_t budget, RunObserver* observer) {
  uint64_t allowed = std::min<uint64_t>(budget, scheduler.until_next());
  if (observer) allowed = std::min(allowed, observer->unseen_allowed());
  if (cpu.model == CpuModel::r4300i &&
      (!r4300i::kernel_mode() || r4300i::interrupt_due() || r4300i::watch_armed())) {
    return 0;
  }
  return static_cast<uint32_t>(allowed);
}
