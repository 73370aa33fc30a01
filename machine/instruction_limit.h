#pragma once

#include <cstdint>

#include "machine/instruction_fetch.h"
#include "machine/machine_state.h"

// Ends a run once it has executed `left` instructions, as korvel-cli's --limit does: the batches
// stay within the limit, and `running` is cleared after the last instruction.
class InstructionLimit : public RunObserver {
 public:
  explicit InstructionLimit(uint64_t left) : left_(left) {}

  uint64_t unseen_allowed() override { return left_; }
  void fetched(uint32_t, uint32_t) override {}
  void instructions_done(uint64_t count) override {
    left_ -= count;
    if (left_ == 0) shared.running = 0;
  }

 private:
  uint64_t left_;
};
