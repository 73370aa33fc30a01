#include "machine/engines/engine_list.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "machine/engines/copied_words.h"
#include "machine/engines/engine_set.h"
#include "memory/memory_map.h"

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
      if (engines.translator.available()) return engines.every;
      return engines.decoded_list;
    case Engine::decoded:
      return engines.decoded_list;
    case Engine::exact:
      break;
  }
  return engines.exact_list;
}

bool exact_path_alone(std::span<ExecutionEngine* const> list) {
  return list.data() == engines.exact_list.data();
}

ExecutionEngine& exact_path() {
  return engines.exact;
}

void forget_all_code() {
  for (ExecutionEngine* engine : engines.every) engine->forget_all();
  clear_code_words_copied();
  clear_code_page_copied();
}
