#include "machine/object/machine.h"

#include <new>

Machine machine;

// The layers' names for their parts of the one machine.
CpuState& cpu = machine.cpu;
Scheduler& scheduler = machine.scheduler;
MemoryStorage& memory = machine.memory;
RomState& rom = machine.rom;
PlainRegisters& plain_registers = machine.plain_registers;
DeviceMap& device_map = machine.device_map;
CodePageMarks& code_pages = machine.code_pages;
CopiedWordMarks& code_word_copied = machine.code_word_copied;
SharedState& shared = machine.shared;
FaultMessages& fault_messages = machine.fault_messages;
UserBreakpoints& user_breakpoints = machine.user_breakpoints;
Watchpoints& watchpoints = machine.watchpoints;
EngineSet& engines = machine.engines;
BlockTranslator& block_translator = machine.engines.translator;
DecodedEngine& decoded_engine = machine.engines.decoded;
History& history = machine.history;
ExecutionController& execution = machine.execution;
MemoryHooks& memory_hooks = machine.hooks;
CpuHooks& cpu_hooks = machine.hooks;
StopHooks& stop_hooks = machine.hooks;
MachineHooks& machine_hooks = machine.hooks;

Machine::Machine() {
  plain_registers.map_into(device_map);
  hooks.memory_faults = &fault_messages;
  hooks.code_writes = &engines;
  hooks.cpu_faults = &fault_messages;
  hooks.run_parked = execution_holds_instructions;
  hooks.silent_host = &silent_host;
  hooks.host = &silent_host;
}

Machine::~Machine() {
  execution.end_run_thread();
  close_rom_image();
}

void Machine::reset() {
  Host* const front_end = hooks.host == &silent_host ? nullptr : hooks.host;
  this->~Machine();
  new (this) Machine();
  set_host(front_end);
}
