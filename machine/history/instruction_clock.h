#pragma once

#include <cstdint>

#include "cpu/scheduler.h"

// Counts the instructions executed since the start of history from the machine's clock, which
// every engine moves on by one per instruction whatever the program writes to Count, and which
// the history's frames carry. Read it only while no instruction executes, or on the run thread.
class InstructionClock {
 public:
  // The machine now stands `position` instructions after the start of history.
  void set(uint64_t position) {
    position_ = position;
    base_ = scheduler.now;
  }

  uint64_t now() const { return position_ + (scheduler.now - base_); }

 private:
  uint64_t position_ = 0;
  uint64_t base_ = 0;
};
