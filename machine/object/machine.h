#pragma once

#include "cpu/cpu_state.h"
#include "cpu/scheduler.h"
#include "machine/devices/console_devices.h"
#include "machine/devices/plain_registers.h"
#include "machine/engines/copied_words.h"
#include "machine/engines/engine_set.h"
#include "machine/execution.h"
#include "machine/fault_messages.h"
#include "machine/history/history.h"
#include "machine/history_hook.h"
#include "machine/hooks.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "machine/screen_feed.h"
#include "machine/stops/user_breakpoints.h"
#include "machine/stops/watchpoints.h"
#include "memory/device.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "memory/storage.h"

// Everything the emulation holds, in one object with one instance, `machine`: a reader finds all of
// the process-wide state here, and `reset` puts all of it back at once. Each layer names its own
// parts as the system's documentation does (`cpu`, `memory`, `rom`, `shared`, `execution`, ...):
// those names are references into this object, declared in the layers' headers and bound in
// machine.cpp, so that the layers below this one need not see it.
//
// Outside it only constants and the two signal flags a signal handler must reach live at namespace
// scope (platform/*/stop_signals.cpp), and the windows' own state: the debugger windows'
// (debugger/debugger_state.h) and the few things a front end keeps of its windows.
struct Machine {
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Puts everything back as it is at program start by making the machine afresh (for the tests and
  // the benchmarks): no run thread, nothing recorded, the engine as KORVEL_ENGINE says. The host a
  // front end installed stays, as it belongs to the front end.
  void reset();

  // The console, and the clock its events are scheduled on.
  CpuState cpu{};
  Scheduler scheduler;
  MemoryStorage memory{};
  RomState rom;
  BusSetup bus;
  // The hardware register blocks, and which addresses each serves.
  PlainRegisters plain_registers;
  ConsoleDevices console_devices;
  DeviceMap device_map;

  // What the engines and the history keep of the code in memory.
  CodePageMarks code_pages{};
  CopiedWordMarks code_word_copied{};

  // The run: flags and texts shared with the front end, the faults' messages and the hooks.
  SharedState shared;
  FaultMessages fault_messages;
  SilentHost silent_host;
  HostTextOutput program_text;
  MachineHooks hooks;
  WakeSignal window_wake;
  UserBreakpoints user_breakpoints;
  Watchpoints watchpoints;
  EngineSet engines{shared.running};
  History history;
  ScreenFeed screen_feed;
  // Last, so that it goes first: the run thread ends before anything it uses.
  ExecutionController execution;
};

extern Machine machine;
