#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "machine/history/instruction_clock.h"

// Asked about every millisecond while the history replays, and between any two of its runs: false
// abandons the replay, which then ends at an instruction boundary (a client that went away, say).
using KeepGoing = std::function<bool()>;

// Runs the machine forward until `clock` reads `target`, as runs do and on the engine chosen, but
// silently (no message box, no title) and on past every stop: user breakpoints, the stop
// addresses, unhandled opcodes and memory errors. With `last_stop`, also notes the latest point
// on the way, the first and the last included, where a forward run would have stopped: before an
// instruction at a user breakpoint, or after one that left pc on a stop address. False when
// `keep_going` abandoned it. Window thread, with no run going on.
bool replay_to(uint64_t target, const InstructionClock& clock, const KeepGoing& keep_going,
               std::optional<uint64_t>* last_stop = nullptr);
