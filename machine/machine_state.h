#pragma once

#include <atomic>
#include <cstdint>

#include "base/text.h"
#include "machine/engines/engine_list.h"
#include "memory/rom_image.h"

// The scratch text in which message-box and window texts are built; it holds the longest, a read
// error with the opcode name appended, and any listing line.
using MessageText = Text<512>;

// What the emulation and the front end share besides the processor, memory and ROM image. The flags
// are read by the run thread while the window thread changes them, so they are atomics; everything
// else is touched by the window thread only, or while the run thread is parked.
struct SharedState {
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> stop_on_unhandled{1};
  std::atomic<int32_t> show_count{0};
  // "Korvel - " + a path + " - Running" at the longest.
  Text<kMaxPathLength + 32> title_text;
  int32_t listing_offset = 0;
  // Chosen while no run thread exists.
  Engine engine = engine_from_environment(Engine::jit);

  SharedState() { title_text.set("Korvel"); }

  // The scratch text. Both threads build texts in it, never at once: whoever takes it is the run
  // thread or holds the run thread's instructions, which debug builds check.
  MessageText& message_text();

 private:
  MessageText message_text_;
};

// The machine object owns it: machine/object/machine.h.
extern SharedState& shared;
