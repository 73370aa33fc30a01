#pragma once

#include <algorithm>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"
#include "machine/engines/engine.h"

// How many of `budget` instructions the fast engines may run from where the machine stands: no more
// than the observer lets pass unseen, and for the 0.2c model all of those.
//
// The complete model looks before each instruction for an interrupt to take (Count reaching
// Compare sets the timer's) and for an address error of the fetch; the fast engines do neither.
// They run nothing outside kernel mode, where every address a word they run fetches or reaches is
// allowed, nor while an enabled interrupt is pending, and stop before the instruction at which
// Count reaches Compare. Nothing they run changes Status, Cause or Compare.
inline uint32_t fast_budget(uint32_t budget, RunObserver* observer) {
  if (observer)
    budget = static_cast<uint32_t>(std::min<uint64_t>(budget, observer->unseen_allowed()));
  if (cpu.model != CpuModel::r4300i) return budget;
  if (!r4300i::kernel_mode() || r4300i::interrupt_due()) return 0;
  const auto until_compare =
      static_cast<uint32_t>(cpu.cp0[r4300i::kCompare] - cpu.cp0[r4300i::kCount]);
  return std::min(budget, until_compare);
}
