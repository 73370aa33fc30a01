#include "cli/run_watcher.h"

#include <cstdio>

#include "debugger/listing.h"
#include "machine/machine_state.h"
#include "machine/screen.h"

RunWatcher::RunWatcher(bool trace, std::optional<uint64_t> limit, std::optional<uint64_t> frames,
                       CpuModel model)
    : trace_(trace), limit_(limit), model_(model) {
  if (frames) last_frame_ = vi_interrupts_raised() + *frames;
}

// The VI raises its interrupts as the run loop takes its events, between batches: the count is
// looked at once a batch, and the run ends after the same instruction on every engine.
bool RunWatcher::last_frame_begun() const {
  return last_frame_ && vi_interrupts_raised() >= *last_frame_;
}

// On the run thread: the line is built in the watcher's own text, not in the shared scratch text.
void RunWatcher::fetched(uint32_t address, uint32_t word) {
  if (!trace_) return;
  compose_listing_line(line_, address, word, model_);
  std::printf("%s\n", line_.c_str());
}

uint64_t RunWatcher::unseen_allowed() {
  if (trace_ || last_frame_begun()) return 0;
  return limit_ ? *limit_ - done_ : UINT64_MAX;
}

void RunWatcher::instructions_done(uint64_t count) {
  done_ += count;
  if (limit_ && done_ == *limit_) {
    shared.running = 0;
    limit_reached_ = true;
  } else if (last_frame_begun()) {
    shared.running = 0;
    frames_reached_ = true;
  }
}
