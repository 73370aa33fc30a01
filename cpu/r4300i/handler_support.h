#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/instr_fields.h"
#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/exceptions.h"

// What the complete model's handlers share.
namespace r4300i {

// Whether an instruction works on doublewords: those are reserved instructions in the 32-bit user
// and supervisor modes.
enum class Width : uint8_t { word, doubleword };

inline uint64_t rs(InstrFields f) {
  return cpu.gpr[f.rs()];
}
inline uint64_t rt(InstrFields f) {
  return cpu.gpr[f.rt()];
}

// The address of a load, a store or CACHE: base plus the sign-extended offset.
inline uint64_t effective_address(InstrFields f) {
  return rs(f) + ::alu::sign_extend_16(f.imm());
}

template <Width width>
inline bool allowed() {
  return width == Width::word || doubleword_operations_enabled();
}

inline int32_t reserved_instruction() {
  return raise(Exception::reserved_instruction);
}

// The handler of every encoding the processor does not have.
inline int32_t exec_reserved(InstrFields, const char*) {
  return reserved_instruction();
}

}  // namespace r4300i
