#include "machine/instruction_fetch.h"

#include "machine/host.h"
#include "machine/machine_state.h"

uint32_t FetchWindow::read_word_slowly(uint32_t address) {
  uint32_t physical = translate_address(address);
  const MemoryRegion* region = find_storage_region(physical);
  if (region && region->last - physical >= 3) {
    base_ = region->storage;
    first_ = address - (physical - region->first);
    word_starts_ = region->last - region->first - 2;
    return read_word(address);
  }
  uint32_t word = 0;
  for (uint32_t k = 0; k < 4; ++k) word = word << 8 | mem_read_byte(uint32_t{address + k});
  return word;
}

void report_unhandled_opcode() {
  auto& text = shared.message_text;
  text.set("Unhandled Opcode: ");
  text.append(cpu.opcode_name.c_str());
  text.append("\nEmulation stopped at instruction number ");
  text.append_format("%d", low_signed(cpu.cp0[kCountRegister] + 1));
  host().message_box("Unhandled Opcode", text.c_str());
}
