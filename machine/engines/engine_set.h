#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "machine/engines/block_translator.h"
#include "machine/engines/decoded_engine.h"
#include "machine/engines/exact_engine.h"
#include "memory/hooks.h"

// The machine's engines, fastest first, and the one watcher through which a store into a code page
// they copy from (by the memory map, a debugger's poke or an engine's own store) reaches them all:
// each drops what it made from the byte.
class EngineSet final : public CodeWriteWatcher {
 public:
  explicit EngineSet(const std::atomic<int32_t>& running) : exact(running) {}

  bool code_written(uint32_t physical) override {
    bool dropped = false;
    for (ExecutionEngine* engine : every) dropped |= engine->code_written(physical);
    return dropped;
  }

  BlockTranslator translator;
  DecodedEngine decoded;
  ExactEngine exact;
  const std::array<ExecutionEngine*, 3> every{&translator, &decoded, &exact};
};

// The machine object owns them: machine/object/machine.h.
extern EngineSet& engines;
