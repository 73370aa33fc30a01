#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "machine/engines/block_translator.h"
#include "machine/engines/decoded_engine.h"
#include "machine/engines/exact_engine.h"
#include "machine/engines/idle_loops.h"
#include "memory/hooks.h"

// The machine's engines, fastest first (the skipping of waiting loops before them all), and the one
// watcher through which a store into a code page they copy from (by the memory map, a debugger's
// poke or an engine's own store) reaches them all: each drops what it made from the byte.
class EngineSet final : public CodeWriteWatcher {
 public:
  explicit EngineSet(const std::atomic<int32_t>& running) : exact(running, idle), idle(exact) {}

  bool code_written(uint32_t physical) override {
    bool dropped = false;
    for (ExecutionEngine* engine : every) dropped |= engine->code_written(physical);
    return dropped;
  }

  BlockTranslator translator;
  DecodedEngine decoded;
  ExactEngine exact;  // before `idle`, which runs its first times round
  IdleLoops idle;
  // The runs' lists: with the translator, with decoded words, and the exact path alone.
  const std::array<ExecutionEngine*, 4> every{&idle, &translator, &decoded, &exact};
  const std::array<ExecutionEngine*, 3> decoded_list{&idle, &decoded, &exact};
  const std::array<ExecutionEngine*, 2> exact_list{&idle, &exact};
};

// The machine object owns them: machine/object/machine.h.
extern EngineSet& engines;
