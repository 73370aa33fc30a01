#pragma once

#include <cstdint>

#include "machine/engines/engine.h"
#include "machine/machine_state.h"

// Pauses a run once a number of instructions has run, as Pause CPU pauses it (korvel-cli's
// --limit, the benchmarks, the tests that stop a run at every count).
class InstructionLimit final : public RunObserver {
 public:
  explicit InstructionLimit(uint64_t limit) : left_(limit) {}
  uint64_t unseen_allowed() override { return left_; }
  void fetched(uint32_t, uint32_t) override {}
  void instructions_done(uint64_t count) override {
    left_ -= count;
    if (left_ == 0) shared.running = 0;
  }
  bool reached() const { return left_ == 0; }

 private:
  uint64_t left_;
};
