#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/instr_fields.h"
#include "cpu/opcode_map.h"
#include "cpu/r4300i/interpreter.h"

// Carries out the word in `cpu.current_instruction` as the machine's processor model does: 0 when
// carried out (or ignored), -1 when not carried out, with `cpu.opcode_name` naming it. Callers
// compare the low 8 bits with 0xFF. Inline because the run loop calls it once per emulated
// instruction.
inline int32_t execute_instruction() {
  if (cpu.model == CpuModel::r4300i) [[unlikely]]
    return r4300i::execute_instruction();
  cpu.gpr[0] = 0;
  InstrFields fields = decode_instruction(cpu.current_instruction);
  const OpcodeEntry& entry = opcode_entry(fields);
  return entry.exec(fields, entry.name);
}

// True for a result code that means "not carried out".
inline bool not_carried_out(int32_t result) {
  return (result & 0xFF) == 0xFF;
}
