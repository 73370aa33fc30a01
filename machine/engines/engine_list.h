#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "machine/engines/engine.h"

// How the run thread executes: every instruction on the interpreter's exact path, the common ones
// in batches from decoded words, or in blocks translated to the host's code (the same results,
// each much faster than the one before). Where translation is not to be had, "jit" runs as
// "decoded".
enum class Engine : uint8_t { exact, decoded, jit };

// The engine called "exact", "decoded" or "jit"; empty for any other name.
std::optional<Engine> engine_named(std::string_view name);

// The engine KORVEL_ENGINE names in the environment, or `otherwise`.
Engine engine_from_environment(Engine otherwise);

// The engines a run with `choice` asks in turn, fastest first, the exact path last. Asking for the
// translator maps its code memory, the first time only.
std::span<ExecutionEngine* const> engines_for(Engine choice);

// Whether `list` (from engines_for) runs the exact path behind no engine that runs the common
// instructions faster.
bool exact_path_alone(std::span<ExecutionEngine* const> list);

// The exact path, which takes the single steps.
ExecutionEngine& exact_path();

// Every engine drops everything it made.
void forget_all_code();
