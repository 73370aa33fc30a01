#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "cpu/handlers.h"

// The operations the fast engines run, and one table of what each reads, writes and may do: the
// decoded engine, the translator and the decoding of words all read it.

// `decode` marks a word to be decoded (again) when it is next run, `exit` one the engines leave
// to the exact path. The rest stand for the interpreter's handlers of the same names.
enum DecodedOp : uint8_t {
  op_decode,
  op_exit,
  op_nop,
  op_addi,
  op_andi,
  op_ori,
  op_lui,
  op_sll,
  op_sllv,
  op_srav,
  op_dsra32,
  op_mfhi,
  op_mthi,
  op_mflo,
  op_mtlo,
  op_ddiv,
  op_add,
  op_addu,
  op_dsub,
  op_dsubu,
  op_and,
  op_or,
  op_xor,
  op_nor,
  op_slt,
  op_sltu,
  op_lb,
  op_lbu,
  op_lw,
  op_ld,
  op_sw,
  op_beq,
  op_bne,
  op_j,
  op_jal,
  op_jr,
  op_count,
};

// The register fields of a decoded word an operation reads: `a` (rt of the immediate forms, rd of
// the others; SW's source), `b` (rs) and `c` (rt).
enum Operands : uint8_t { kNone = 0, kA = 1, kB = 2, kC = 4 };

enum class Kind : uint8_t {
  marker,  // decode or exit: not an instruction
  plain,   // computes, loads or stores, and goes on to the next word
  branch,  // BEQ, BNE: a delay slot follows, taken or not
  jump,    // J, JAL, JR: take effect at once
};

struct Operation {
  DecodedOp op;
  Kind kind;
  Handler exec;     // the interpreter's handler it stands for (any of its rows)
  uint8_t reads;    // Operands
  bool writes_a;    // writes register `a` (JAL's write of register 31 aside)
  uint8_t bytes;    // a load's or store's width
  bool stores;      // writes memory
  bool translated;  // the translator runs it; the decoded engine runs every one
};

namespace engine_operations_detail {

inline constexpr uint8_t kBC = kB | kC;
inline constexpr Kind P = Kind::plain;

inline constexpr Operation kTable[] = {
    {op_decode, Kind::marker, nullptr, kNone, false, 0, false, false},
    {op_exit, Kind::marker, nullptr, kNone, false, 0, false, false},
    {op_nop, P, exec_ignored, kNone, false, 0, false, true},
    {op_addi, P, exec_addi, kB, true, 0, false, true},
    {op_andi, P, exec_andi, kB, true, 0, false, true},
    {op_ori, P, exec_ori, kB, true, 0, false, true},
    {op_lui, P, exec_lui, kNone, true, 0, false, true},
    {op_sll, P, exec_sll, kC, true, 0, false, true},
    {op_sllv, P, exec_sllv, kBC, true, 0, false, true},
    {op_srav, P, exec_srav, kBC, true, 0, false, true},
    {op_dsra32, P, exec_dsra32, kC, true, 0, false, true},
    {op_mfhi, P, exec_mfhi, kNone, true, 0, false, true},
    {op_mthi, P, exec_mthi, kB, false, 0, false, true},
    {op_mflo, P, exec_mflo, kNone, true, 0, false, true},
    {op_mtlo, P, exec_mtlo, kB, false, 0, false, true},
    // Its rare use does not earn the divide code in translated blocks.
    {op_ddiv, P, exec_ddiv, kBC, false, 0, false, false},
    {op_add, P, exec_add, kBC, true, 0, false, true},
    {op_addu, P, exec_addu, kBC, true, 0, false, true},
    {op_dsub, P, exec_dsub, kBC, true, 0, false, true},
    {op_dsubu, P, exec_dsubu, kBC, true, 0, false, true},
    {op_and, P, exec_and, kBC, true, 0, false, true},
    {op_or, P, exec_or, kBC, true, 0, false, true},
    {op_xor, P, exec_xor, kBC, true, 0, false, true},
    {op_nor, P, exec_nor, kBC, true, 0, false, true},
    {op_slt, P, exec_slt, kBC, true, 0, false, true},
    {op_sltu, P, exec_sltu, kBC, true, 0, false, true},
    {op_lb, P, exec_lb, kB, true, 1, false, true},
    {op_lbu, P, exec_lbu, kB, true, 1, false, true},
    {op_lw, P, exec_lw, kB, true, 4, false, true},
    {op_ld, P, exec_ld, kB, true, 8, false, true},
    {op_sw, P, exec_sw, kA | kB, false, 4, true, true},
    {op_beq, Kind::branch, exec_beq, kBC, false, 0, false, true},
    {op_bne, Kind::branch, exec_bne, kBC, false, 0, false, true},
    {op_j, Kind::jump, exec_j, kNone, false, 0, false, true},
    {op_jal, Kind::jump, exec_jal, kNone, false, 0, false, true},
    {op_jr, Kind::jump, exec_jr, kB, false, 0, false, true},
};

constexpr bool rows_in_order_and_handlers_once() {
  if (std::size(kTable) != op_count) return false;
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    const Operation& row = kTable[i];
    if (row.op != i || (row.kind == Kind::marker) != (row.exec == nullptr)) return false;
    if ((row.bytes != 0) != (row.op >= op_lb && row.op <= op_sw)) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (row.exec && kTable[j].exec == row.exec) return false;
    }
  }
  return true;
}

static_assert(rows_in_order_and_handlers_once(),
              "the operations table lists each operation once, in order, each handler once");

}  // namespace engine_operations_detail

constexpr const Operation& operation(uint8_t op) {
  return engine_operations_detail::kTable[op];
}

// The operation that runs the words an interpreter handler carries out; exit for the rest.
constexpr DecodedOp operation_for(Handler exec) {
  for (const Operation& row : engine_operations_detail::kTable) {
    if (row.exec == exec) return row.op;
  }
  return op_exit;
}

constexpr bool is_branch(uint8_t op) {
  return operation(op).kind == Kind::branch;
}
constexpr bool is_jump(uint8_t op) {
  return operation(op).kind == Kind::jump;
}
// A delay slot runs inline only when it is neither a jump nor a branch, whose own hand-over the
// interpreter treats in a way of its own.
constexpr bool runs_in_a_slot(uint8_t op) {
  return operation(op).kind == Kind::plain;
}
