#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/interpreter.h"
#include "cpu/r4300i/execute_fetched.h"
#include "machine/engines/engine.h"
#include "machine/engines/instruction_fetch.h"
#include "machine/stops/watchpoints.h"

// One fetch from `address` (the delay slot's when `from_delay_slot`) and its execution on the exact
// path, for a model and a watching known where the caller is made: the exact path runs nothing
// else per instruction. The word's read errors name the fetch "Reading"; the complete model's
// handlers never name themselves, so for it the name is left as it stands, and it wants register
// 0 at 0 already (its callers set both once). The watchpoints see the execution's data accesses,
// never the fetch's, when `kWatching` (any are set). The hand-over of a delay slot is consumed
// afterwards. Returns `execute_instruction`'s result.
template <CpuModel kModel, bool kWatching>
[[gnu::always_inline]] inline int32_t execute_from(FetchWindow& fetch, RunObserver* observer,
                                                   uint32_t address, bool from_delay_slot) {
  if constexpr (kModel != CpuModel::r4300i) {
    std::memcpy(cpu.opcode_name.data, "Reading", sizeof "Reading");
  }
  const FetchedWord fetched = fetch_word<kModel>(fetch, address);
  cpu.current_instruction = fetched.word;
  if (observer) observer->fetched(address, cpu.current_instruction);
  int32_t result;
  {
    const WatchedAccesses watched(kWatching);
    if constexpr (kModel == CpuModel::r4300i) {
      result = r4300i::execute_fetched(fetched.fault);
    } else {
      result = execute_instruction();
    }
  }
  if (from_delay_slot) cpu.delay_slot_pending = 0;
  return result;
}

// One fetch and execution of the next instruction on the exact path, for any model and any
// watchpoints: a single step. A loop takes `execute_from`.
int32_t fetch_and_execute(FetchWindow& fetch, RunObserver* observer);
