#pragma once

#include <cstdint>

#include "cpu/handler_support.h"
#include "cpu/handlers.h"
#include "cpu/r4300i/fpu_arithmetic.h"
#include "cpu/r4300i/fpu_registers.h"
#include "cpu/r4300i/handler_support.h"

// The FPU's computing instructions. For them the rs field is the format, rt the register ft, rd
// the register fs and sa the destination fd.
namespace r4300i {

// How a computing instruction ends when it traps or finds the FPU unusable: `raising` takes the
// exception, as the interpreter does; `declining` leaves everything as it was and returns
// kNotCarriedOut, for translated code, which then leaves the word to the interpreter.
enum class Completion : uint8_t { raising, declining };

// Every instruction of coprocessor 1 finds it unusable while Status's CU1 is clear, before
// anything else about it counts.
template <Handler handler, Completion how = Completion::raising>
int32_t exec_if_fpu_usable(InstrFields f, const char* name) {
  if (!fpu::usable()) {
    if constexpr (how == Completion::declining) return kNotCarriedOut;
    return raise(Exception::coprocessor_unusable, 1);
  }
  return handler(f, name);
}

// The floating-point exception is taken when the conditions in Cause include an unimplemented
// operation or one whose enable is set.
inline bool fpu_traps(uint32_t fcsr) {
  const uint32_t cause = (fcsr & fpu::kCauseBits) >> fpu::kCauseShift;
  const uint32_t enabled = ((fcsr >> fpu::kEnablesShift) & 0x1F) | fpu::kUnimplemented;
  return (cause & enabled) != 0;
}

// The end of a computing instruction: Cause shows the conditions it raised; when they trap, the
// floating-point exception is taken with the destination unwritten and the flags unchanged;
// otherwise the flags gather the conditions and `write` stores the result.
template <Completion how, typename Write>
int32_t complete_fpu_operation(uint32_t conditions, Write write) {
  const uint32_t fcsr = (cpu.fcr31 & ~fpu::kCauseBits) | conditions << fpu::kCauseShift;
  if (fpu_traps(fcsr)) {
    if constexpr (how == Completion::declining) return kNotCarriedOut;
    cpu.fcr31 = fcsr;
    return raise(Exception::floating_point);
  }
  cpu.fcr31 = fcsr | (conditions & 0x1F) << fpu::kFlagsShift;
  write();
  if constexpr (how == Completion::declining) return kCarriedOut;
  return advance();
}

// ADD, SUB, MUL, DIV and SQRT.
template <fpu::Format fmt, fpu::Operation op, Completion how = Completion::raising>
int32_t exec_fpu_arithmetic(InstrFields f, const char*) {
  const fpu::Outcome outcome =
      fpu::arithmetic(op, fmt, fpu::read(fmt, f.rd()), fpu::read(fmt, f.rt()), cpu.fcr31);
  return complete_fpu_operation<how>(outcome.conditions,
                                     [&] { fpu::write(fmt, f.sa(), outcome.bits); });
}

// ABS and NEG.
template <fpu::Format fmt, bool negate, Completion how = Completion::raising>
int32_t exec_fpu_sign(InstrFields f, const char*) {
  const fpu::Outcome outcome = fpu::sign_operation(negate, fmt, fpu::read(fmt, f.rd()));
  return complete_fpu_operation<how>(outcome.conditions,
                                     [&] { fpu::write(fmt, f.sa(), outcome.bits); });
}

// MOV copies the pattern: it computes nothing and raises nothing.
template <fpu::Format fmt, Completion how = Completion::raising>
int32_t exec_fpu_move(InstrFields f, const char*) {
  fpu::write(fmt, f.sa(), fpu::read(fmt, f.rd()));
  if constexpr (how == Completion::declining) return kCarriedOut;
  return advance();
}

// CVT rounds as FCSR says; ROUND, TRUNC, CEIL and FLOOR are CVT to W or L with a rounding of
// their own.
enum class RoundingFrom : uint8_t { fcsr, nearest, toward_zero, up, down };

template <fpu::Format from, fpu::Format to, RoundingFrom rounded = RoundingFrom::fcsr,
          Completion how = Completion::raising>
int32_t exec_fpu_convert(InstrFields f, const char*) {
  const fpu::Rounding rounding = rounded == RoundingFrom::fcsr
                                     ? fpu::rounding_mode(cpu.fcr31)
                                     : static_cast<fpu::Rounding>(static_cast<int>(rounded) - 1);
  const fpu::Outcome outcome = fpu::convert(from, to, fpu::read(from, f.rd()), rounding, cpu.fcr31);
  return complete_fpu_operation<how>(outcome.conditions,
                                     [&] { fpu::write(to, f.sa(), outcome.bits); });
}

// C.cond: FCSR's condition bit tells whether the condition holds.
template <fpu::Format fmt, Completion how = Completion::raising>
int32_t exec_fpu_compare(InstrFields f, const char*) {
  const fpu::Comparison comparison =
      fpu::compare(fmt, f.funct() & 15u, fpu::read(fmt, f.rd()), fpu::read(fmt, f.rt()));
  return complete_fpu_operation<how>(comparison.conditions, [&] {
    cpu.fcr31 = comparison.holds ? cpu.fcr31 | fpu::kConditionBit : cpu.fcr31 & ~fpu::kConditionBit;
  });
}

// A function or format the FPU does not have: an unimplemented operation.
template <Completion how = Completion::raising>
int32_t exec_fpu_unimplemented(InstrFields, const char*) {
  return complete_fpu_operation<how>(fpu::kUnimplemented, [] {});
}

}  // namespace r4300i
