#include "machine/debug_access.h"

#include "cpu/alu.h"
#include "cpu/r4300i/address_translation.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/fpu_registers.h"
#include "cpu/scheduler.h"
#include "machine/execution.h"
#include "machine/history_hook.h"
#include "machine/stops/stops.h"
#include "memory/memory_map.h"

namespace {

// Where a debugger's access to `address` leads: for the complete model as the kernel finds it
// (through the TLB in the mapped segments, raising nothing), for 0.2c through its fixed map.
std::optional<uint32_t> debugger_physical(uint32_t address) {
  if (cpu.model != CpuModel::r4300i) return translate_address(address);
  const r4300i::Translation at =
      r4300i::translate(alu::sign_extend_32(address), r4300i::Access::load, r4300i::Mode::kernel);
  if (at.fault != r4300i::Fault::none) return std::nullopt;
  return at.physical;
}

}  // namespace

std::optional<uint8_t> peek(uint32_t address) {
  ExecutionController::ScopedPause pause(execution);
  const std::optional<uint32_t> physical = debugger_physical(address);
  return physical ? peek_physical_byte(*physical) : std::nullopt;
}

bool poke(uint32_t address, uint8_t value) {
  ExecutionController::ScopedPause pause(execution);
  DebuggerWrite write;
  const std::optional<uint32_t> physical = debugger_physical(address);
  return physical && poke_physical_byte(*physical, value);
}

uint64_t read_register(RegisterNumber reg) {
  ExecutionController::ScopedPause pause(execution);
  unsigned n = reg.index & 31;
  switch (reg.file) {
    case RegisterFile::gpr:
      return cpu.gpr[n];
    case RegisterFile::hi:
      return cpu.hi_reg;
    case RegisterFile::lo:
      return cpu.lo_reg;
    case RegisterFile::pc:
      return cpu.pc;
    case RegisterFile::cp0:
      return cpu.model == CpuModel::r4300i ? r4300i::read_cop0(n) : cpu.cp0[n];
    case RegisterFile::fcr:
      if (cpu.model != CpuModel::r4300i) return 0;
      return n == 0 ? cpu.fcr0 : cpu.fcr31;
    case RegisterFile::fpr:
      return cpu.model == CpuModel::r4300i ? r4300i::fpu::debugger_view(n) : cpu.fpr[n].bits;
  }
  return 0;
}

void write_register(RegisterNumber reg, uint64_t value) {
  ExecutionController::ScopedPause pause(execution);
  DebuggerWrite write;
  unsigned n = reg.index & 31;
  switch (reg.file) {
    case RegisterFile::gpr:
      cpu.gpr[n] = value;
      break;
    case RegisterFile::hi:
      cpu.hi_reg = value;
      break;
    case RegisterFile::lo:
      cpu.lo_reg = value;
      break;
    case RegisterFile::pc:
      cpu.pc = static_cast<uint32_t>(value);
      break;
    case RegisterFile::cp0:
      if (cpu.model == CpuModel::r4300i && n == r4300i::kRandom) {
        r4300i::restart_random(value, scheduler.now);
      } else {
        cpu.cp0[n] = value;
      }
      break;
    case RegisterFile::fcr:
      if (cpu.model == CpuModel::r4300i && n != 0)
        cpu.fcr31 = static_cast<uint32_t>(value) & r4300i::fpu::kFcsrWritable;
      break;
    case RegisterFile::fpr:
      if (cpu.model == CpuModel::r4300i) {
        r4300i::fpu::set_from_debugger(n, value);
      } else {
        cpu.fpr[n].bits = value;
      }
      break;
  }
}

void insert_user_breakpoint(uint32_t address) {
  ExecutionController::ScopedPause pause(execution);
  user_breakpoints.insert(address);
}

void erase_user_breakpoint(uint32_t address) {
  ExecutionController::ScopedPause pause(execution);
  user_breakpoints.erase(address);
}

bool set_watchpoint(const Watchpoint& watchpoint) {
  ExecutionController::ScopedPause pause(execution);
  return watchpoints.insert(watchpoint);
}

void remove_watchpoint(const Watchpoint& watchpoint) {
  ExecutionController::ScopedPause pause(execution);
  watchpoints.erase(watchpoint);
}

std::optional<WatchHit> take_watch_hit() {
  ExecutionController::ScopedPause pause(execution);
  return watchpoints.take_hit();
}

CpuState processor_state() {
  ExecutionController::ScopedPause pause(execution);
  CpuState state = cpu;
  if (cpu.model == CpuModel::r4300i) state.cp0[r4300i::kRandom] = r4300i::random_register();
  return state;
}

uint32_t next_fetch_address() {
  ExecutionController::ScopedPause pause(execution);
  return fetch_address(cpu);
}

void set_next_fetch_address(uint32_t address) {
  ExecutionController::ScopedPause pause(execution);
  if (address == fetch_address(cpu)) return;
  DebuggerWrite write;
  cpu.pc = address;
  cpu.delay_slot_pending = 0;
}
