#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "cpu/cpu_state.h"

// What happens at a moment of the machine's clock rather than at an instruction: the history's next
// snapshot, the processor's timer (Count reaching Compare) and the devices' events. One entry per
// kind, each due at a clock value or never. Events due at the same moment are taken in this order:
// the snapshot first, so that it keeps the machine as it stands before the moment's other events,
// which a replay from it then takes again.
enum class Event : uint8_t {
  snapshot,
  timer,
  // The console's devices (machine/devices/console_devices.h).
  pi_dma,
  si_dma,
  sp_dma,
  vi_interrupt,
  ai_buffer,
};
inline constexpr std::size_t kEventKinds = 7;

// Events on the machine's clock: the instructions executed since the machine was made (the
// processor's cycles, one an instruction). The run loop advances `now` with Count; at every batch
// boundary it takes the events that are due, and no engine runs a batch past the next one, so an
// event lands on the same instruction on every engine and in a replay. The scheduler is plain data,
// part of every snapshot.
struct Scheduler {
  static constexpr uint64_t kNever = UINT64_MAX;

  uint64_t now = 0;
  uint64_t next = kNever;  // the earliest of `due`
  // Count advances once a cycle on the plain-storage machine and once every two on the console's:
  // it moves where `now` reaches a multiple of 1 << count_shift.
  uint8_t count_shift = 0;
  std::array<uint64_t, kEventKinds> due = [] {
    std::array<uint64_t, kEventKinds> never;
    never.fill(kNever);
    return never;
  }();

  void schedule(Event event, uint64_t at) {
    due[static_cast<std::size_t>(event)] = at;
    next = *std::min_element(due.begin(), due.end());
  }
  void cancel(Event event) { schedule(event, kNever); }

  // How many times Count advances while the clock moves on by `cycles` from `from`.
  uint64_t count_ticks(uint64_t from, uint64_t cycles) const {
    return ((from + cycles) >> count_shift) - (from >> count_shift);
  }
  // How many cycles from `from` until Count has advanced `ticks` times (none for none).
  uint64_t cycles_for_ticks(uint64_t from, uint64_t ticks) const {
    if (ticks == 0) return 0;
    return (((from >> count_shift) + ticks) << count_shift) - from;
  }

  // How many instructions may run before the next event is due.
  uint64_t until_next() const { return next > now ? next - now : 0; }

  // The earliest event due now, which is then taken off; false when none is.
  bool take_due(Event& event) {
    if (next > now) return false;
    const auto first = std::min_element(due.begin(), due.end());
    event = static_cast<Event>(first - due.begin());
    *first = kNever;
    next = *std::min_element(due.begin(), due.end());
    return true;
  }
};

// The machine object owns it: machine/object/machine.h.
extern Scheduler& scheduler;

// `instructions` have run: the clock and Count move on (one cycle an instruction).
inline void advance_clock(uint64_t instructions) {
  const uint64_t now = scheduler.now;  // read once: Count's store may alias it, for the compiler
  cpu.cp0[kCountRegister] += scheduler.count_ticks(now, instructions);
  scheduler.now = now + instructions;
}
