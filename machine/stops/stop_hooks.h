#pragma once

#include "cpu/hooks.h"

// The stops' entries in the machine's table of hooks.
struct StopHooks : CpuHooks {
  // Whether no instruction can be executing now, as the run loop's controller tells: no run thread,
  // or one that is parked or has ended. Debug builds check every change to what a run reads
  // against it.
  bool (*run_parked)() = nullptr;  // never null once the machine is made
};

// The stops' view of the machine's table of hooks.
extern StopHooks& stop_hooks;

inline bool run_parked() {
  return stop_hooks.run_parked();
}
