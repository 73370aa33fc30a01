#include "tests/support/core_fixture.h"

#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/shared_state.h"
#include "debugger/disassembler.h"
#include "memory/execution.h"
#include "memory/memory_map.h"
#include "memory/rom.h"

void reset_core_state() {
  execution.reset();
  cpu = CpuState{};
  std::memset(&memory, 0, sizeof memory);
  reset_shared_state();
  reset_rom_state();
  opcode_name.clear();
  message_text.clear();
  listing_address = 0;
  disasm_text.clear();
}

void CoreTest::SetUp() {
  reset_core_state();
  set_host(&recorder);
}

void CoreTest::TearDown() {
  reset_core_state();
  set_host(nullptr);
}
