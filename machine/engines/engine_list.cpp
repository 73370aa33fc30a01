#include "machine/engines/engine_list.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "machine/engines/block_translator.h"
#include "machine/engines/decoded_engine.h"
#include "machine/engines/exact_engine.h"
#include "memory/memory_map.h"

namespace {

ExactEngine exact_engine;

ExecutionEngine* const kEveryEngine[] = {&block_translator, &decoded_engine, &exact_engine};
constexpr std::span<ExecutionEngine* const> kTranslated(kEveryEngine);
constexpr std::span<ExecutionEngine* const> kDecoded = kTranslated.subspan(1);
constexpr std::span<ExecutionEngine* const> kExact = kTranslated.subspan(2);

// A store into a code page an engine copies from, by the memory map, a debugger's poke or an
// engine's own store, reaches every engine through here: each drops what it made from the byte.
class EveryEngine final : public CodeWriteWatcher {
 public:
  EveryEngine() { set_code_write_watcher(this); }
  ~EveryEngine() override { set_code_write_watcher(nullptr); }
  bool code_written(uint32_t physical) override {
    bool dropped = false;
    for (ExecutionEngine* engine : kEveryEngine) dropped |= engine->code_written(physical);
    return dropped;
  }
};

EveryEngine every_engine;

}  // namespace

std::optional<Engine> engine_named(std::string_view name) {
  if (name == "exact") return Engine::exact;
  if (name == "decoded") return Engine::decoded;
  if (name == "jit") return Engine::jit;
  return std::nullopt;
}

Engine engine_from_environment(Engine otherwise) {
  const char* name = std::getenv("KORVEL_ENGINE");
  return name ? engine_named(name).value_or(otherwise) : otherwise;
}

std::span<ExecutionEngine* const> engines_for(Engine choice) {
  switch (choice) {
    case Engine::jit:
      return block_translator.available() ? kTranslated : kDecoded;
    case Engine::decoded:
      return kDecoded;
    case Engine::exact:
      break;
  }
  return kExact;
}

ExecutionEngine& exact_path() {
  return exact_engine;
}

void forget_all_code() {
  for (ExecutionEngine* engine : kEveryEngine) engine->forget_all();
  clear_code_page_copied();
}
