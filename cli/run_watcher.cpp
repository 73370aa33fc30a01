#include "cli/run_watcher.h"

#include <cstdio>

#include "debugger/listing.h"
#include "machine/machine_state.h"

// On the run thread: the line is built in the watcher's own text, not in the shared scratch text.
void RunWatcher::fetched(uint32_t address, uint32_t word) {
  if (!trace_) return;
  compose_listing_line(line_, address, word, model_);
  std::printf("%s\n", line_.c_str());
}

uint64_t RunWatcher::unseen_allowed() {
  if (trace_) return 0;
  return limit_ ? *limit_ - done_ : UINT64_MAX;
}

void RunWatcher::instructions_done(uint64_t count) {
  done_ += count;
  if (!limit_ || done_ != *limit_) return;
  shared.running = 0;
  limit_reached_ = true;
}
