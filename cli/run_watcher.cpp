#include "cli/run_watcher.h"

#include <cstdio>

#include "cpu/shared_state.h"
#include "debugger/disassembler.h"
#include "debugger/listing.h"

void RunWatcher::fetched(uint32_t address, uint32_t word) {
  if (!trace_) return;
  // This runs on the run thread and uses the disassembler's `listing_address`, `listing_fields`
  // and `disasm_text`, which belong to the window thread. That is sound here only because
  // korvel-cli's window thread does nothing but wait while a run goes on.
  listing_address = address;
  compose_listing_line(line_, word);
  std::printf("%s\n", line_.c_str());
}

void RunWatcher::instruction_done() {
  if (!limit_ || ++done_ != *limit_) return;
  shared.running = 0;
  limit_reached_ = true;
}
