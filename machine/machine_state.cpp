#include "machine/machine_state.h"

#include <cstring>

#include "cpu/cpu_state.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "memory/memory_map.h"

SharedState shared;

void reset_machine() {
  execution.reset();
  user_breakpoints.clear();
  cpu = CpuState{};
  std::memset(&memory, 0, sizeof memory);
  reset_rom_state();
  shared.running = 0;
  shared.stop_on_unhandled = 1;
  shared.show_count = 0;
  shared.title_text.set("Korvel");
  shared.listing_offset = 0;
  shared.message_text.clear();
}
