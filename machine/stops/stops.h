#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "machine/stops/user_breakpoints.h"
#include "machine/stops/watchpoints.h"

// Where a run stops, for every engine and for the history's replay alike.

// A run stops by itself once an instruction has left pc on one of these two addresses: silently at
// the first, with "Breakpoint Encountered" at the second.
inline constexpr uint32_t kStopAddress = 0x040000A8;
inline constexpr uint32_t kBreakpointAddress = 0x040000B0;
inline constexpr uint32_t kStopSpan = kBreakpointAddress - kStopAddress;

// Why a run or a step ended, the first that applies to its last instruction.
enum class StopReason : uint8_t {
  unhandled_opcode,    // a word not carried out, with Stop on unhandled opcode checked
  breakpoint_address,  // pc became 0x040000B0 ("Breakpoint Encountered")
  stop_address,        // pc became 0x040000A8
  memory_error,        // a read of an unhandled address cleared `running`
  paused,              // `running` cleared (Pause CPU, a limit), or an interrupt or stop request
  user_breakpoint,     // the next instruction stands at one of the user breakpoints
  watchpoint,  // an instruction touched a watched byte (`watchpoints.take_hit()` says which)
  step_done,   // a single step with nothing else to report
};

// Whether control that reaches `address` may stop the run there: one subtraction and one
// comparison, so that the engines can afford it on every jump (translated code makes the same test
// with kStopAddress and kStopSpan). Between the two stop addresses it errs towards looking.
constexpr bool may_stop_at(uint32_t address) {
  return address - kStopAddress <= kStopSpan;
}

// The address the next instruction is fetched from: the pending delay slot's, or pc.
inline uint32_t fetch_address(const CpuState& state) {
  return state.delay_slot_pending ? state.delay_slot_pc : state.pc;
}

// The one rule, between two instructions, of whether a run stops here: an instruction has left pc
// on a stop address, or the next one is fetched from a user breakpoint (which a run does not test
// before its first instruction, so that it can go on from the breakpoint it stopped at).
inline bool run_would_stop(const CpuState& state, const UserBreakpoints& breakpoints) {
  return state.pc == kStopAddress || state.pc == kBreakpointAddress ||
         breakpoints.contains(fetch_address(state));
}
