#pragma once

#include <cstdint>
#include <optional>

#include "cpu/cpu_state.h"
#include "machine/stops/user_breakpoints.h"
#include "machine/stops/watchpoints.h"

// What a debugger (the gdb server, the debugger windows, korvel-cli) reads and changes in the
// machine besides running it: the only way the layers above reach the processor. Call these from
// the window thread; each holds the run thread at an instruction boundary meanwhile. Every write
// goes through here, so that the history that steps backwards learns of it.

// Memory as the processor addresses it, without side effects: no message, no cartridge file
// position moved, no exception. The 0.2c model translates KSEG0 and KSEG1; the complete model
// every segment as its kernel mode does, the mapped ones through the TLB. A cartridge address reads
// the image byte at its offset into the cartridge range. Empty, or false, for an address that maps
// to nothing (a mapped address no valid TLB entry holds among them), and for a write to the
// cartridge.
std::optional<uint8_t> peek(uint32_t address);
bool poke(uint32_t address, uint8_t value);

// The processor's registers by file and number. HI, LO and PC have number 0 only; FPR values are
// the raw bits the register holds (in the complete model as its instructions address it: with
// Status.FR clear an odd register is the high half of the even one); PC is 32 bits wide and a
// write keeps the low half. The FPU's
// control registers are FCR0 (number 0, read-only) and FCR31 (any other number), the complete
// model's only: in the 0.2c model they read as 0 and take no writes.
enum class RegisterFile : uint8_t { gpr, hi, lo, pc, cp0, fpr, fcr };
struct RegisterNumber {
  RegisterFile file;
  unsigned index = 0;  // 0..31 for the files of 32
};
uint64_t read_register(RegisterNumber reg);
void write_register(RegisterNumber reg, uint64_t value);

// A copy of the whole processor state, as it stands between two instructions (the complete model's
// Random as an instruction would read it now).
CpuState processor_state();

// The address the next instruction is fetched from: the pending delay slot's, or the program
// counter.
uint32_t next_fetch_address();

// The user breakpoints and watchpoints a run stops at, changed with the run thread held.
void insert_user_breakpoint(uint32_t address);
void erase_user_breakpoint(uint32_t address);
// False when the machine keeps as many watchpoints as it can.
bool set_watchpoint(const Watchpoint& watchpoint);
void remove_watchpoint(const Watchpoint& watchpoint);
// The watched access that stopped the last run or step, once.
std::optional<WatchHit> take_watch_hit();

// Moves the next fetch elsewhere, as a debugger's write of its pc means: the program counter
// becomes `address` and a pending delay slot is dropped. Nothing changes when the next fetch is
// there already.
void set_next_fetch_address(uint32_t address);
