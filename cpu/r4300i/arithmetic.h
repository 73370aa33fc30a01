#pragma once

#include <cstdint>
#include <optional>

#include "cpu/handler_support.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/handler_support.h"

// Arithmetic, logic, shifts, multiplies and divides, and the moves of HI and LO.
namespace r4300i {

using Binary = uint64_t (*)(uint64_t, uint64_t);
using Trapping = std::optional<uint64_t> (*)(uint64_t, uint64_t);
using Shift = uint64_t (*)(uint64_t, unsigned);
using Product = alu::HiLo (*)(uint64_t, uint64_t);

// How an I-type instruction widens its immediate.
enum class Immediate : uint8_t { sign_extended, zero_extended };

template <Immediate how>
inline uint64_t immediate(InstrFields f) {
  return how == Immediate::sign_extended ? alu::sign_extend_16(f.imm()) : f.imm();
}

// rd = rs op rt.
template <Binary op, Width width = Width::word>
int32_t exec_register(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  return write_rd(f, op(rs(f), rt(f)));
}

// rd = rs op rt, trapping on overflow with rd unchanged.
template <Trapping op, Width width = Width::word>
int32_t exec_register_trapping(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  std::optional<uint64_t> result = op(rs(f), rt(f));
  if (!result) return raise(Exception::overflow);
  return write_rd(f, *result);
}

// rt = rs op immediate.
template <Binary op, Immediate how, Width width = Width::word>
int32_t exec_immediate(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  return write_rt(f, op(rs(f), immediate<how>(f)));
}

template <Trapping op, Width width = Width::word>
int32_t exec_immediate_trapping(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  std::optional<uint64_t> result = op(rs(f), immediate<Immediate::sign_extended>(f));
  if (!result) return raise(Exception::overflow);
  return write_rt(f, *result);
}

inline int32_t exec_lui(InstrFields f, const char*) {
  return write_rt(f, alu::lui(f.imm()));
}

// rd = rt shifted by sa (plus 32 for the doubleword shifts of the upper half).
template <Shift op, unsigned extra = 0, Width width = Width::word>
int32_t exec_shift(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  return write_rd(f, op(rt(f), f.sa() + extra));
}

// rd = rt shifted by the low bits of rs.
template <Shift op, Width width = Width::word>
int32_t exec_shift_variable(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  return write_rd(f, op(rt(f), static_cast<unsigned>(rs(f))));
}

// HI and LO = rs op rt.
template <Product op, Width width = Width::word>
int32_t exec_product(InstrFields f, const char*) {
  if (!allowed<width>()) return reserved_instruction();
  alu::HiLo result = op(rs(f), rt(f));
  cpu.hi_reg = result.hi;
  cpu.lo_reg = result.lo;
  return advance();
}

template <uint64_t CpuState::*reg>
int32_t exec_move_from(InstrFields f, const char*) {
  return write_rd(f, cpu.*reg);
}

template <uint64_t CpuState::*reg>
int32_t exec_move_to(InstrFields f, const char*) {
  cpu.*reg = rs(f);
  return advance();
}

}  // namespace r4300i
