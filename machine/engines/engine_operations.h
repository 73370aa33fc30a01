#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "cpu/cpu_model.h"
#include "cpu/handlers.h"
#include "cpu/r4300i/arithmetic.h"
#include "cpu/r4300i/branches.h"
#include "cpu/r4300i/fpu_operations.h"
#include "cpu/r4300i/fpu_transfers.h"
#include "cpu/r4300i/load_store.h"

// The operations the fast engines run, and one table of what each reads, writes and may do: the
// decoded engine, the translator and the decoding of words all read it. Each stands for an
// interpreter handler of either processor model, or of both where they compute the same.

// `decode` marks a word to be decoded (again) when it is next run, `exit` one the engines leave
// to the exact path. The rest stand for the handlers of the same names: the 0.2c model's first
// (and the complete model's that compute the same), then the complete model's own, in the order
// the engines' run loops list them: what stands in a delay slot, then the loads and stores, the
// branches and the jumps.
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
  // The complete model's: 32-bit operations work on the low halves and sign-extend their results.
  op_addiu32,
  op_slti,
  op_sltiu,
  op_xori,
  op_lui32,
  op_sll32,
  op_srl32,
  op_sra32,
  op_sllv32,
  op_srlv32,
  op_srav32,
  op_addu32,
  op_subu32,
  op_sltu64,
  op_mult,
  op_multu,
  op_div,
  op_divu,
  op_add32,  // these three trap on overflow: the engines leave that to the exact path
  op_addi32,
  op_sub32,
  op_lb,
  op_lbu,
  op_lw,
  op_ld,
  op_sw,
  // The complete model's: the offset is sign-extended, and an access that is not aligned or whose
  // address is not a sign-extended 32-bit one (an address error) is left to the exact path.
  op_lb_checked,
  op_lbu_checked,
  op_lh_checked,
  op_lhu_checked,
  op_lw_checked,
  op_lwu_checked,
  op_ld_checked,
  op_sb_checked,
  op_sh_checked,
  op_sw_checked,
  op_sd_checked,
  // The FPU's loads and stores, while it is usable (the exact path raises Coprocessor Unusable).
  op_lwc1,
  op_ldc1,
  op_swc1,
  op_sdc1,
  op_beq,
  op_bne,
  op_beq_delayed,
  op_bne_delayed,
  op_blez,
  op_bgtz,
  op_bltz,
  op_bgez,
  op_bc1f,
  op_bc1t,
  op_beql,
  op_bnel,
  op_blezl,
  op_bgtzl,
  op_bltzl,
  op_bgezl,
  op_bc1fl,
  op_bc1tl,
  op_j,
  op_jal,
  op_jr,
  op_j_delayed,
  op_jal_delayed,
  op_jr_delayed,
  op_jalr,
  // The complete model's FPU words that neither branch nor touch memory: the interpreter's handler
  // runs where the word stands.
  op_fpu,
  op_count,
};

// The register fields of a decoded word an operation reads: `a` (rt of the immediate forms, rd of
// the others; a store's source), `b` (rs) and `c` (rt).
enum Operands : uint8_t { kNone = 0, kA = 1, kB = 2, kC = 4 };

enum class Kind : uint8_t {
  marker,          // decode or exit: not an instruction
  plain,           // computes, loads or stores, and goes on to the next word
  branch,          // 0.2c's BEQ, BNE: a delay slot follows when taken, the next word when not
  jump,            // 0.2c's J, JAL, JR: take effect at once
  delayed_branch,  // the complete model's: its delay slot runs whether taken or not
  likely_branch,   // its delay slot runs only when taken, and is skipped otherwise
  delayed_jump,    // its delay slot runs, then it takes effect
  in_place,        // the interpreter's handler runs it, and the run goes on where it left pc
};

struct Operation {
  DecodedOp op;
  Kind kind;
  Handler v02c;     // the 0.2c model's handler it stands for (any of its rows), or none
  Handler r4300i;   // the complete model's, or none
  uint8_t reads;    // Operands
  bool writes_a;    // writes register `a` (JAL's link: register 31, JALR's: rd)
  uint8_t bytes;    // a load's or store's width
  bool stores;      // writes memory
  bool translated;  // the translator runs it; the decoded engine runs every one
};

namespace engine_operations_detail {

namespace c = r4300i;
namespace ca = r4300i::alu;
using I = r4300i::Immediate;
inline constexpr r4300i::Width D = r4300i::Width::doubleword;
inline constexpr r4300i::Branch kPlain = r4300i::Branch::plain;
inline constexpr r4300i::Branch kLikely = r4300i::Branch::likely;
inline constexpr uint8_t kBC = kB | kC;
inline constexpr uint8_t kAB = kA | kB;
inline constexpr Kind P = Kind::plain;
inline constexpr Kind DB = Kind::delayed_branch;
inline constexpr Kind LB = Kind::likely_branch;
inline constexpr Kind DJ = Kind::delayed_jump;
template <Handler handler>
inline constexpr Handler on_fpu = c::exec_if_fpu_usable<handler>;
inline constexpr r4300i::Width W = r4300i::Width::word;

inline constexpr Operation kTable[] = {
    {op_decode, Kind::marker, nullptr, nullptr, kNone, false, 0, false, false},
    {op_exit, Kind::marker, nullptr, nullptr, kNone, false, 0, false, false},
    {op_nop, P, exec_ignored, exec_ignored, kNone, false, 0, false, true},
    {op_addi, P, exec_addi, c::exec_immediate<::alu::add, I::sign_extended, D>, kB, true, 0, false,
     true},
    {op_andi, P, exec_andi, c::exec_immediate<::alu::and_, I::zero_extended>, kB, true, 0, false,
     true},
    {op_ori, P, exec_ori, c::exec_immediate<::alu::or_, I::zero_extended>, kB, true, 0, false,
     true},
    {op_lui, P, exec_lui, nullptr, kNone, true, 0, false, true},
    {op_sll, P, exec_sll, c::exec_shift<ca::dsll, 0, D>, kC, true, 0, false, true},
    {op_sllv, P, exec_sllv, nullptr, kBC, true, 0, false, true},
    {op_srav, P, exec_srav, nullptr, kBC, true, 0, false, true},
    {op_dsra32, P, exec_dsra32, c::exec_shift<ca::dsra, 32, D>, kC, true, 0, false, true},
    {op_mfhi, P, exec_mfhi, c::exec_move_from<&CpuState::hi_reg>, kNone, true, 0, false, true},
    {op_mthi, P, exec_mthi, c::exec_move_to<&CpuState::hi_reg>, kB, false, 0, false, true},
    {op_mflo, P, exec_mflo, c::exec_move_from<&CpuState::lo_reg>, kNone, true, 0, false, true},
    {op_mtlo, P, exec_mtlo, c::exec_move_to<&CpuState::lo_reg>, kB, false, 0, false, true},
    // The divides' rare use does not earn their code in translated blocks.
    {op_ddiv, P, exec_ddiv, c::exec_product<ca::ddiv, D>, kBC, false, 0, false, false},
    {op_add, P, exec_add, c::exec_register<::alu::add, D>, kBC, true, 0, false, true},
    {op_addu, P, exec_addu, nullptr, kBC, true, 0, false, true},
    {op_dsub, P, exec_dsub, c::exec_register<::alu::dsub, D>, kBC, true, 0, false, true},
    {op_dsubu, P, exec_dsubu, nullptr, kBC, true, 0, false, true},
    {op_and, P, exec_and, c::exec_register<::alu::and_>, kBC, true, 0, false, true},
    {op_or, P, exec_or, c::exec_register<::alu::or_>, kBC, true, 0, false, true},
    {op_xor, P, exec_xor, c::exec_register<::alu::xor_>, kBC, true, 0, false, true},
    {op_nor, P, exec_nor, c::exec_register<::alu::nor>, kBC, true, 0, false, true},
    {op_slt, P, exec_slt, c::exec_register<ca::slt>, kBC, true, 0, false, true},
    {op_sltu, P, exec_sltu, nullptr, kBC, true, 0, false, true},
    {op_addiu32, P, nullptr, c::exec_immediate<ca::addu32, I::sign_extended>, kB, true, 0, false,
     true},
    {op_slti, P, nullptr, c::exec_immediate<ca::slt, I::sign_extended>, kB, true, 0, false, true},
    {op_sltiu, P, nullptr, c::exec_immediate<ca::sltu, I::sign_extended>, kB, true, 0, false, true},
    {op_xori, P, nullptr, c::exec_immediate<::alu::xor_, I::zero_extended>, kB, true, 0, false,
     true},
    {op_lui32, P, nullptr, c::exec_lui, kNone, true, 0, false, true},
    {op_sll32, P, nullptr, c::exec_shift<ca::sll>, kC, true, 0, false, true},
    {op_srl32, P, nullptr, c::exec_shift<ca::srl>, kC, true, 0, false, true},
    {op_sra32, P, nullptr, c::exec_shift<ca::sra>, kC, true, 0, false, true},
    {op_sllv32, P, nullptr, c::exec_shift_variable<ca::sll>, kBC, true, 0, false, true},
    {op_srlv32, P, nullptr, c::exec_shift_variable<ca::srl>, kBC, true, 0, false, true},
    {op_srav32, P, nullptr, c::exec_shift_variable<ca::sra>, kBC, true, 0, false, true},
    {op_addu32, P, nullptr, c::exec_register<ca::addu32>, kBC, true, 0, false, true},
    {op_subu32, P, nullptr, c::exec_register<ca::subu32>, kBC, true, 0, false, true},
    {op_sltu64, P, nullptr, c::exec_register<ca::sltu>, kBC, true, 0, false, true},
    {op_mult, P, nullptr, c::exec_product<ca::mult>, kBC, false, 0, false, true},
    {op_multu, P, nullptr, c::exec_product<ca::multu>, kBC, false, 0, false, true},
    {op_div, P, nullptr, c::exec_product<ca::div>, kBC, false, 0, false, false},
    {op_divu, P, nullptr, c::exec_product<ca::divu>, kBC, false, 0, false, false},
    {op_add32, P, nullptr, c::exec_register_trapping<ca::add32>, kBC, true, 0, false, true},
    {op_addi32, P, nullptr, c::exec_immediate_trapping<ca::add32>, kB, true, 0, false, true},
    {op_sub32, P, nullptr, c::exec_register_trapping<ca::sub32>, kBC, true, 0, false, true},
    {op_lb, P, exec_lb, nullptr, kB, true, 1, false, true},
    {op_lbu, P, exec_lbu, nullptr, kB, true, 1, false, true},
    {op_lw, P, exec_lw, nullptr, kB, true, 4, false, true},
    {op_ld, P, exec_ld, nullptr, kB, true, 8, false, true},
    {op_sw, P, exec_sw, nullptr, kAB, false, 4, true, true},
    {op_lb_checked, P, nullptr, c::exec_load<1, true>, kB, true, 1, false, true},
    {op_lbu_checked, P, nullptr, c::exec_load<1, false>, kB, true, 1, false, true},
    {op_lh_checked, P, nullptr, c::exec_load<2, true>, kB, true, 2, false, true},
    {op_lhu_checked, P, nullptr, c::exec_load<2, false>, kB, true, 2, false, true},
    {op_lw_checked, P, nullptr, c::exec_load<4, true>, kB, true, 4, false, true},
    {op_lwu_checked, P, nullptr, c::exec_load<4, false, D>, kB, true, 4, false, true},
    {op_ld_checked, P, nullptr, c::exec_load<8, false>, kB, true, 8, false, true},
    {op_sb_checked, P, nullptr, c::exec_store<1>, kAB, false, 1, true, true},
    {op_sh_checked, P, nullptr, c::exec_store<2>, kAB, false, 2, true, true},
    {op_sw_checked, P, nullptr, c::exec_store<4>, kAB, false, 4, true, true},
    {op_sd_checked, P, nullptr, c::exec_store<8>, kAB, false, 8, true, true},
    {op_lwc1, P, nullptr, on_fpu<c::exec_load<4, false, W, c::load_fpr32>>, kB, false, 4, false,
     true},
    {op_ldc1, P, nullptr, on_fpu<c::exec_load<8, false, W, c::load_fpr64>>, kB, false, 8, false,
     true},
    {op_swc1, P, nullptr, on_fpu<c::exec_store<4, W, c::stored_fpr32>>, kB, false, 4, true, true},
    {op_sdc1, P, nullptr, on_fpu<c::exec_store<8, W, c::stored_fpr64>>, kB, false, 8, true, true},
    {op_beq, Kind::branch, exec_beq, nullptr, kBC, false, 0, false, true},
    {op_bne, Kind::branch, exec_bne, nullptr, kBC, false, 0, false, true},
    {op_beq_delayed, DB, nullptr, c::exec_branch<ca::equal, kPlain>, kBC, false, 0, false, true},
    {op_bne_delayed, DB, nullptr, c::exec_branch<ca::not_equal, kPlain>, kBC, false, 0, false,
     true},
    {op_blez, DB, nullptr, c::exec_branch<ca::at_most_zero, kPlain>, kB, false, 0, false, true},
    {op_bgtz, DB, nullptr, c::exec_branch<ca::above_zero, kPlain>, kB, false, 0, false, true},
    {op_bltz, DB, nullptr, c::exec_branch<ca::below_zero, kPlain>, kB, false, 0, false, true},
    {op_bgez, DB, nullptr, c::exec_branch<ca::at_least_zero, kPlain>, kB, false, 0, false, true},
    {op_bc1f, DB, nullptr, on_fpu<c::exec_branch<c::fpu_condition_clear, kPlain>>, kNone, false, 0,
     false, true},
    {op_bc1t, DB, nullptr, on_fpu<c::exec_branch<c::fpu_condition_set, kPlain>>, kNone, false, 0,
     false, true},
    {op_beql, LB, nullptr, c::exec_branch<ca::equal, kLikely>, kBC, false, 0, false, true},
    {op_bnel, LB, nullptr, c::exec_branch<ca::not_equal, kLikely>, kBC, false, 0, false, true},
    {op_blezl, LB, nullptr, c::exec_branch<ca::at_most_zero, kLikely>, kB, false, 0, false, true},
    {op_bgtzl, LB, nullptr, c::exec_branch<ca::above_zero, kLikely>, kB, false, 0, false, true},
    {op_bltzl, LB, nullptr, c::exec_branch<ca::below_zero, kLikely>, kB, false, 0, false, true},
    {op_bgezl, LB, nullptr, c::exec_branch<ca::at_least_zero, kLikely>, kB, false, 0, false, true},
    {op_bc1fl, LB, nullptr, on_fpu<c::exec_branch<c::fpu_condition_clear, kLikely>>, kNone, false,
     0, false, true},
    {op_bc1tl, LB, nullptr, on_fpu<c::exec_branch<c::fpu_condition_set, kLikely>>, kNone, false, 0,
     false, true},
    {op_j, Kind::jump, exec_j, nullptr, kNone, false, 0, false, true},
    {op_jal, Kind::jump, exec_jal, nullptr, kNone, true, 0, false, true},
    {op_jr, Kind::jump, exec_jr, nullptr, kB, false, 0, false, true},
    {op_j_delayed, DJ, nullptr, c::exec_j, kNone, false, 0, false, true},
    {op_jal_delayed, DJ, nullptr, c::exec_jal, kNone, true, 0, false, true},
    {op_jr_delayed, DJ, nullptr, c::exec_jr, kB, false, 0, false, true},
    {op_jalr, DJ, nullptr, c::exec_jalr, kB, true, 0, false, true},
    {op_fpu, Kind::in_place, nullptr, nullptr, kNone, false, 0, false, false},
};

// The operations in order, and the loads and stores together. That each model's handlers stand in
// one row at most, and markers alone have none, a test checks: the sanitizers' builds cannot
// compare functions' addresses while compiling.
constexpr bool rows_in_order() {
  if (std::size(kTable) != op_count) return false;
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    const Operation& row = kTable[i];
    if (row.op != i) return false;
    if ((row.bytes != 0) != (row.op >= op_lb && row.op <= op_sdc1)) return false;
  }
  return true;
}

static_assert(rows_in_order(), "the operations table lists each operation once, in order");

}  // namespace engine_operations_detail

constexpr const Operation& operation(uint8_t op) {
  return engine_operations_detail::kTable[op];
}

// The handler of `model` an operation stands for, or none.
constexpr Handler handler(const Operation& row, CpuModel model) {
  return model == CpuModel::r4300i ? row.r4300i : row.v02c;
}

// The operation that runs the words a handler of `model` carries out; exit for the rest.
constexpr DecodedOp operation_for(CpuModel model, Handler exec) {
  for (const Operation& row : engine_operations_detail::kTable) {
    if (handler(row, model) == exec) return row.op;
  }
  return op_exit;
}

// A branch of either model: it compares, and its target lies in its page.
constexpr bool is_branch(uint8_t op) {
  const Kind kind = operation(op).kind;
  return kind == Kind::branch || kind == Kind::delayed_branch || kind == Kind::likely_branch;
}
// 0.2c's jumps, which take effect at once.
constexpr bool is_jump(uint8_t op) {
  return operation(op).kind == Kind::jump;
}
constexpr bool is_delayed_jump(uint8_t op) {
  return operation(op).kind == Kind::delayed_jump;
}
// A delay slot runs inline only when it is neither a jump nor a branch, whose own hand-over the
// interpreter treats in a way of its own.
constexpr bool runs_in_a_slot(uint8_t op) {
  return operation(op).kind == Kind::plain;
}
// The complete model's arithmetic that traps on overflow.
constexpr bool traps_on_overflow(uint8_t op) {
  return op == op_add32 || op == op_addi32 || op == op_sub32;
}
// The complete model's loads and stores (the FPU's among them), which add their offsets
// sign-extended and leave an address error to the exact path.
constexpr bool checks_address(uint8_t op) {
  return op >= op_lb_checked && op <= op_sdc1;
}
// The FPU's loads and stores.
constexpr bool moves_fpu_register(uint8_t op) {
  return op >= op_lwc1 && op <= op_sdc1;
}
constexpr bool is_fpu_branch(uint8_t op) {
  return op == op_bc1f || op == op_bc1t || op == op_bc1fl || op == op_bc1tl;
}
// The words that need the FPU usable.
constexpr bool is_fpu_word(uint8_t op) {
  return moves_fpu_register(op) || is_fpu_branch(op) || op == op_fpu;
}
// The complete model's FPU words that run where they stand: all of coprocessor 1's but its
// branches, whose rs field is 8 (its loads and stores have opcodes of their own).
constexpr bool runs_in_place(InstrFields f) {
  return f.op() == 0x11 && f.rs() != 8;
}
// The jumps whose target field the word holds, as opposed to a register.
constexpr bool jumps_to_field(uint8_t op) {
  return op == op_j || op == op_jal || op == op_j_delayed || op == op_jal_delayed;
}
// The shifts by the word's shift amount.
constexpr bool shifts_by_field(uint8_t op) {
  return op == op_sll || op == op_dsra32 || op == op_sll32 || op == op_srl32 || op == op_sra32;
}
