#include "machine/machine_reset.h"

#include <cstring>

#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/fault_messages.h"
#include "machine/history_hook.h"
#include "machine/machine_state.h"
#include "memory/memory_map.h"

void reset_machine() {
  execution.reset();
  if (HistoryHook* history = history_hook()) history->machine_reset();
  user_breakpoints.clear();
  watchpoints.clear();
  forget_all_code();
  cpu = CpuState{};
  std::memset(&memory, 0, sizeof memory);
  std::memset(code_page_written, 0, sizeof code_page_written);
  reset_rom_state();
  fault_messages.reset();
  shared.running = 0;
  shared.stop_on_unhandled = 1;
  shared.show_count = 0;
  shared.title_text.set("Korvel");
  shared.listing_offset = 0;
  shared.message_text().clear();
  shared.engine = engine_from_environment(Engine::jit);
}
