#include "machine/object/machine.h"

#include <new>

Machine machine;

// The layers' names for their parts of the one machine, bound while compiling: none is ever bound
// again, nor used before it is bound.
constexpr CpuState& cpu = machine.cpu;
constexpr Scheduler& scheduler = machine.scheduler;
constexpr MemoryStorage& memory = machine.memory;
constexpr RomState& rom = machine.rom;
constexpr BusSetup& bus = machine.bus;
constexpr PlainRegisters& plain_registers = machine.plain_registers;
constexpr ConsoleDevices& console_devices = machine.console_devices;
constexpr MipsInterface& mips_interface = machine.console_devices.mi;
constexpr DeviceMap& device_map = machine.device_map;
constexpr CodePageMarks& code_pages = machine.code_pages;
constexpr CopiedWordMarks& code_word_copied = machine.code_word_copied;
constexpr SharedState& shared = machine.shared;
constexpr FaultMessages& fault_messages = machine.fault_messages;
constexpr UserBreakpoints& user_breakpoints = machine.user_breakpoints;
constexpr Watchpoints& watchpoints = machine.watchpoints;
constexpr EngineSet& engines = machine.engines;
constexpr BlockTranslator& block_translator = machine.engines.translator;
constexpr DecodedEngine& decoded_engine = machine.engines.decoded;
constexpr History& history = machine.history;
constexpr ScreenFeed& screen_feed = machine.screen_feed;
constexpr ExecutionController& execution = machine.execution;
constexpr MemoryHooks& memory_hooks = machine.hooks;
constexpr CpuHooks& cpu_hooks = machine.hooks;
constexpr StopHooks& stop_hooks = machine.hooks;
constexpr MachineHooks& machine_hooks = machine.hooks;
constexpr WakeSignal& window_wake = machine.window_wake;

Machine::Machine() {
  plain_registers.map_into(device_map);
  hooks.memory_faults = &fault_messages;
  hooks.code_writes = &engines;
  hooks.console_output = &program_text;
  hooks.dma_watch = &watchpoints;
  hooks.cpu_faults = &fault_messages;
  hooks.run_parked = execution_holds_instructions;
  hooks.message_text_user = may_use_message_text;
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
