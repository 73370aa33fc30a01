#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"

// Counts the instructions executed since the start of history from Count, which every engine
// advances by one per instruction, less the program's own writes of it. Read it only while no
// instruction executes, or on the run thread.
class InstructionClock {
 public:
  // The machine now stands `position` instructions after the start of history.
  void set(uint64_t position) {
    position_ = position;
    count_ = cpu.cp0[kCountRegister];
    moved_ = cpu.count_moved_by_writes;
  }

  uint64_t now() const {
    return position_ + (cpu.cp0[kCountRegister] - count_) - (cpu.count_moved_by_writes - moved_);
  }

 private:
  uint64_t position_ = 0;
  uint64_t count_ = 0;
  uint64_t moved_ = 0;
};
