#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "machine/history/instruction_clock.h"
#include "machine/stops/watchpoints.h"

// Asked about every millisecond while the history replays, and between any two of its runs: false
// abandons the replay, which then ends at an instruction boundary (a client that went away, say).
using KeepGoing = std::function<bool()>;

// A point in the past where a forward run would have stopped: for a watched access, just after the
// instruction that made it, where gdb, which takes such a stop as coming before the access, steps
// back onto that instruction.
struct PastStop {
  uint64_t position;
  std::optional<WatchHit> watch;  // the access, for a watchpoint's stop
};

// Runs the machine forward until `clock` reads `target`, as runs do and on the engine chosen, but
// silently (no message box, no title) and on past every stop: user breakpoints, watchpoints, the
// stop addresses, unhandled opcodes and memory errors. With `last_stop`, also notes the latest stop
// on the way, the first point included, that comes before `before`: before an instruction at a
// user breakpoint, after one that left pc on a stop address, or after an instruction that began
// before `before` and touched a watched byte. False when `keep_going` abandoned it before it
// arrived. Window thread, with no run going on.
bool replay_to(uint64_t target, const InstructionClock& clock, const KeepGoing& keep_going,
               std::optional<PastStop>* last_stop = nullptr, uint64_t before = UINT64_MAX);
