#pragma once

#include "machine/engines/engine.h"
#include "machine/engines/instruction_fetch.h"

// The interpreter's own path, one instruction at a time: the reference every other engine keeps
// to, and the one that runs what they leave.
class ExactEngine final : public ExecutionEngine {
 public:
  EngineRun run(uint32_t, RunObserver* observer) override {
    return {1, not_carried_out(fetch_and_execute(fetch_, observer))};
  }
  bool code_written(uint32_t) override { return false; }
  void forget_all() override {}

 private:
  FetchWindow fetch_;
};
