#pragma once

#include "cpu/faults.h"
#include "memory/hooks.h"

// The processor's entries in the machine's table of hooks.
struct CpuHooks : MemoryHooks {
  CpuFaultSink* cpu_faults = nullptr;  // never null once the machine is made
};

// The processor layer's view of the machine's table of hooks.
extern CpuHooks& cpu_hooks;
