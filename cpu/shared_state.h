#pragma once

#include <atomic>
#include <cstdint>

#include "cpu/text.h"

// Longest path a ROM may be opened from (the platform's own limit).
inline constexpr int kMaxPathLength = 4096;

// What the emulation and the front end share besides the processor. The flags are read by the
// run thread while the window thread changes them, so they are atomics; everything else is
// touched by the window thread only, or while the run thread is parked.
struct SharedState {
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> stop_on_unhandled{1};
  std::atomic<int32_t> show_count{0};
  // "Korvel - " + a path + " - Running" at the longest.
  Text<kMaxPathLength + 32> title_text;
  int32_t listing_offset = 0;

  SharedState() { title_text.set("Korvel"); }
};

extern SharedState shared;

// Puts every shared flag and text back to its value at program start (for the tests).
void reset_shared_state();
