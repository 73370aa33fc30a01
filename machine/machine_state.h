#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "memory/rom_image.h"

// How the run thread executes: every instruction on the interpreter's exact path, the common ones
// in batches from decoded words, or in blocks translated to the host's code (the same results,
// each much faster than the one before). Where translation is not to be had, "jit" runs as
// "decoded".
enum class Engine : uint8_t { exact, decoded, jit };

// The engine called "exact", "decoded" or "jit"; empty for any other name.
std::optional<Engine> engine_named(std::string_view name);

// The engine KORVEL_ENGINE names in the environment, or `otherwise`.
Engine engine_from_environment(Engine otherwise);

// What the emulation and the front end share besides the processor, memory and ROM image (`cpu`,
// `memory` and `rom`, each one instance in its own layer). The flags are read by the run thread
// while the window thread changes them, so they are atomics; everything else is touched by the
// window thread only, or while the run thread is parked.
struct SharedState {
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> stop_on_unhandled{1};
  std::atomic<int32_t> show_count{0};
  // "Korvel - " + a path + " - Running" at the longest.
  Text<kMaxPathLength + 32> title_text;
  int32_t listing_offset = 0;
  // The scratch text in which message-box and window texts are built; it holds the longest, a
  // read error with the opcode name appended, and any listing line.
  Text<512> message_text;
  // Chosen while no run thread exists.
  Engine engine = Engine::jit;

  SharedState() { title_text.set("Korvel"); }
};

extern SharedState shared;

// Puts the processor, memory, ROM image, shared flags and texts, the run thread's controller and
// the user breakpoints back as they are at program start (for the tests); the engine as
// KORVEL_ENGINE says, so that a test run can choose it.
void reset_machine();
