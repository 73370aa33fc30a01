#include "machine/fault_messages.h"

#include <cinttypes>

#include "cpu/cpu_state.h"
#include "machine/host.h"
#include "machine/machine_state.h"

void FaultMessages::unhandled_read(uint64_t address) {
  shared.message_text().format("Unhandled memory address: %x\nStopped on opcode number: %" PRIu64
                               "\nPC: %x\nOpcode:",
                               static_cast<uint32_t>(address), cpu.cp0[kCountRegister], cpu.pc);
  shared.message_text().append(cpu.opcode_name.c_str());
  host().message_box("Memory Error: Read", shared.message_text().c_str());
  shared.running = 0;
  read_errors_.fetch_add(1, std::memory_order_relaxed);
}

void FaultMessages::unhandled_write(uint32_t physical) {
  shared.message_text().format("Unhandled memory address: %x", physical);
  host().message_box("Memory Error: Write", shared.message_text().c_str());
}

bool FaultMessages::unknown_opcode(uint8_t op) {
  if (!shared.stop_on_unhandled.load(std::memory_order_relaxed)) return false;
  shared.message_text().format(
      "Unknown opcode: %x\n Emulation stopped at instruction number %" PRIu64, op,
      cpu.cp0[kCountRegister] + 1);
  host().message_box("Unknown Opcode", shared.message_text().c_str());
  shared.running = 0;
  return true;
}
