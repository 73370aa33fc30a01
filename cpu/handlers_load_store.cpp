#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"
#include "memory/memory_map.h"

namespace {

// Big-endian, one byte at a time in ascending address order; a byte that cannot be read counts as
// 0 and the others are still read.
uint64_t load_bytes(InstrFields f, unsigned count) {
  uint32_t address = alu::effective_address(cpu.gpr[f.rs()], f.imm());
  uint64_t value = 0;
  for (unsigned k = 0; k < count; ++k) value = value << 8 | mem_read_byte(address + k);
  return value;
}

}  // namespace

int32_t exec_lb(InstrFields f, const char*) {
  return write_rt(f, alu::lb_value(load_bytes(f, 1)));
}

int32_t exec_lbu(InstrFields f, const char*) {
  return write_rt(f, load_bytes(f, 1));
}

int32_t exec_lw(InstrFields f, const char*) {
  return write_rt(f, alu::lw_value(load_bytes(f, 4)));
}

int32_t exec_ld(InstrFields f, const char*) {
  return write_rt(f, load_bytes(f, 8));
}

int32_t exec_sw(InstrFields f, const char*) {
  uint32_t address = alu::effective_address(cpu.gpr[f.rs()], f.imm());
  uint32_t value = static_cast<uint32_t>(cpu.gpr[f.rt()]);
  for (unsigned k = 0; k < 4; ++k) {
    mem_write_byte(address + k, static_cast<uint8_t>(value >> (24 - 8 * k)));
  }
  return advance();
}
