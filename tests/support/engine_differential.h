#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cpu/cpu_model.h"
#include "machine/machine_state.h"
#include "machine/stops/watchpoints.h"
#include "tests/support/recording_host.h"

// Runs a program on the exact path and on another engine from the same start, stopping after 1,
// 2, 3, ... instructions and without a limit, and fails the calling test wherever what can be
// seen at the stop differs: registers, pc, the delay-slot hand-over, Count, the current word and
// opcode name, the stop reason and the watched access, the messages in order, plain storage and
// the cartridge position.
struct DifferentialProgram {
  std::vector<uint32_t> boot_code;  // from 0x04000040 in SP DMEM
  std::vector<uint8_t> cartridge;   // from file offset 4096
  int longest_limit = 200;          // the limits tried are 1 .. this
  bool stop_on_unhandled = true;
  std::vector<uint32_t> user_breakpoints;
  std::vector<Watchpoint> watchpoints;
  CpuModel model = CpuModel::v02c;
  // Called once after loading, before the starting state is taken (to place code elsewhere, say).
  std::function<void()> prepare;
};

// Call from a test with a RecordingHost installed as the host (CoreTest does).
void expect_engine_matches_exact(Engine engine, const DifferentialProgram& program,
                                 RecordingHost& recorder);

// The engine as a test's name ends: "Exact", "Decoded" or "Translated".
std::string engine_test_name(Engine engine);
