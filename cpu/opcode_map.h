#pragma once

#include <cstdint>

#include "cpu/handlers.h"
#include "cpu/instr_fields.h"
#include "cpu/opcode_rows.h"

// The one map of the encodings the 0.2c model knows.

namespace opcode_map_detail {

using F = DisasmForm;
inline constexpr OpTable P = OpTable::primary;
inline constexpr OpTable S = OpTable::special;

// Primary opcode 0 is not a row: it selects the SPECIAL table by `funct`.
inline constexpr OpcodeRow rows[] = {
    {P, 2, "J", exec_j, F::jump_target},
    {P, 3, "JAL", exec_jal, F::jump_target},
    {P, 4, "BEQ", exec_beq, F::beq_offset},
    {P, 5, "BNE", exec_bne, F::bne_target},
    {P, 8, "ADDI", exec_addi, F::rt_rs_imm_lower},
    {P, 9, "ADDIU", exec_addi, F::rt_rs_imm_lower},
    {P, 12, "ANDI", exec_andi, F::rt_rs_imm_upper},
    {P, 13, "ORI", exec_ori, F::rt_rs_imm_upper},
    {P, 15, "LUI", exec_lui, F::lui},
    {P, 16, "MTC0", exec_cop0, F::mtc0},
    {P, 17, "COP1", exec_cop1, F::constant},
    {P, 26, "LDL", exec_not_carried_out, F::none},
    {P, 27, "LDR", exec_not_carried_out, F::none},
    {P, 32, "LB", exec_lb, F::offset_base_lower},
    {P, 33, "LH", exec_not_carried_out, F::none},
    {P, 35, "LW", exec_lw, F::offset_base_upper},
    {P, 36, "LBU", exec_lbu, F::offset_numbered_base},
    {P, 43, "SW", exec_sw, F::offset_base_lower},
    {P, 47, "CACHE", exec_ignored, F::none},
    {P, 55, "LD", exec_ld, F::offset_base_lower},

    {S, 0, "SLL", exec_sll, F::nop_or_sll},
    {S, 2, "SRL", exec_not_carried_out, F::none},
    {S, 3, "SRA", exec_not_carried_out, F::none},
    {S, 4, "SLLV", exec_sllv, F::none},
    {S, 6, "SRLV", exec_not_carried_out, F::none},
    {S, 7, "SRAV", exec_srav, F::none},
    {S, 8, "JR", exec_jr, F::jr},
    {S, 9, "JALR", exec_not_carried_out, F::none},
    {S, 12, "SYSCALL", exec_not_carried_out, F::none},
    {S, 13, "BREAK", exec_not_carried_out, F::break_code},
    {S, 15, "SYNC", exec_ignored, F::constant},
    {S, 16, "MFHI", exec_mfhi, F::constant},
    {S, 17, "MTHI", exec_mthi, F::constant},
    {S, 18, "MFLO", exec_mflo, F::constant},
    {S, 19, "MTLO", exec_mtlo, F::constant},
    {S, 20, "DSLLV", exec_not_carried_out, F::constant},
    {S, 22, "DSRLV", exec_not_carried_out, F::constant},
    {S, 23, "DSRAV", exec_not_carried_out, F::constant},
    {S, 24, "MULT", exec_not_carried_out, F::constant},
    {S, 25, "MULTU", exec_not_carried_out, F::constant},
    {S, 26, "DIV", exec_not_carried_out, F::constant},
    {S, 27, "DIVU", exec_not_carried_out, F::constant},
    {S, 30, "DDIV", exec_ddiv, F::constant},
    {S, 31, "DDIVU", exec_not_carried_out, F::constant},
    {S, 32, "ADD", exec_add, F::constant},
    {S, 33, "ADDU", exec_addu, F::constant},
    {S, 34, "SUB", exec_not_carried_out, F::none},
    {S, 35, "SUBU", exec_not_carried_out, F::none},
    {S, 36, "AND", exec_and, F::constant},
    {S, 37, "OR", exec_or, F::rd_rs_rt},
    {S, 38, "XOR", exec_xor, F::rd_rs_rt},
    {S, 39, "NOR", exec_nor, F::rd_rs_rt},
    {S, 42, "SLT", exec_slt, F::none},
    {S, 43, "SLTU", exec_sltu, F::none},
    {S, 44, "DADD", exec_add, F::constant},
    {S, 45, "DADDU", exec_addu, F::constant},
    {S, 46, "DSUB", exec_dsub, F::constant},
    {S, 47, "DSUBU", exec_dsubu, F::constant},
    {S, 48, "TGE", exec_not_carried_out, F::none},
    {S, 49, "TGEU", exec_not_carried_out, F::none},
    {S, 50, "TLT", exec_not_carried_out, F::none},
    {S, 51, "TLTU", exec_not_carried_out, F::none},
    {S, 52, "TEQ", exec_not_carried_out, F::none},
    {S, 54, "TNE", exec_not_carried_out, F::none},
    {S, 56, "DSLL", exec_not_carried_out, F::constant},
    {S, 58, "DSRL", exec_not_carried_out, F::constant},
    {S, 59, "DSRA", exec_not_carried_out, F::constant},
    {S, 60, "DSLL32", exec_not_carried_out, F::constant},
    {S, 62, "DSRL32", exec_not_carried_out, F::constant},
    {S, 63, "DSRA32", exec_dsra32, F::constant},
};

}  // namespace opcode_map_detail

inline constexpr const auto& opcode_rows = opcode_map_detail::rows;

static_assert(every_slot_claimed_at_most_once(opcode_rows),
              "an opcode map row claims a slot another row claims, or a slot that does not exist");

// A primary opcode with no row is unknown; a SPECIAL function with no row changes nothing and does
// not advance, so the same word runs again.
inline constexpr OpcodeTable primary_table =
    expand_rows(opcode_rows, OpTable::primary, {exec_unknown_primary, "Unknown", DisasmForm::none});
inline constexpr OpcodeTable special_table =
    expand_rows(opcode_rows, OpTable::special, {exec_no_advance, "", DisasmForm::none});

inline constexpr uint8_t kSpecialOpcode = 0;

inline const OpcodeEntry& opcode_entry(InstrFields f) {
  return f.op() == kSpecialOpcode ? special_table[f.funct()] : primary_table[f.op()];
}
