#include "machine/machine_state.h"

#include <cstdlib>
#include <cstring>

#include "cpu/cpu_state.h"
#include "machine/debug_access.h"
#include "machine/execution.h"
#include "machine/history.h"
#include "memory/memory_map.h"

SharedState shared;

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

void reset_machine() {
  execution.reset();
  history.stop();
  user_breakpoints.clear();
  cpu = CpuState{};
  std::memset(&memory, 0, sizeof memory);
  std::memset(code_page_written, 0, sizeof code_page_written);
  reset_rom_state();
  shared.running = 0;
  shared.stop_on_unhandled = 1;
  shared.show_count = 0;
  shared.title_text.set("Korvel");
  shared.listing_offset = 0;
  shared.message_text.clear();
  shared.engine = engine_from_environment(Engine::jit);
}
