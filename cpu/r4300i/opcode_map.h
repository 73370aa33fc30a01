#pragma once

#include <cstdint>

#include "cpu/handlers.h"
#include "cpu/instr_fields.h"
#include "cpu/opcode_rows.h"
#include "cpu/r4300i/arithmetic.h"
#include "cpu/r4300i/branches.h"
#include "cpu/r4300i/fpu_opcode_map.h"
#include "cpu/r4300i/load_store.h"
#include "cpu/r4300i/system.h"

// The map of the complete model: every MIPS III integer encoding of the R4300i, coprocessor 0,
// the FPU (whose own tables are in fpu_opcode_map.h) and coprocessor 2, which it lacks. Where the
// 0.2c model writes an instruction in full, the disassembler writes it the same way here; the rest
// in GNU objdump's order. Include it only where the tables are used: it instantiates every handler.
namespace r4300i::opcode_map_detail {

using F = DisasmForm;
using W = Width;
using I = Immediate;
inline constexpr OpTable P = OpTable::primary;
inline constexpr OpTable S = OpTable::special;
inline constexpr OpTable R = OpTable::regimm;
inline constexpr OpTable C = OpTable::cop0;
inline constexpr OpTable CF = OpTable::cop0_function;
inline constexpr W D = W::doubleword;
inline constexpr Branch likely = Branch::likely;
inline constexpr Branch link = Branch::link;
inline constexpr Branch link_likely = Branch::link_likely;
inline constexpr Branch plain = Branch::plain;
inline constexpr Side left = Side::left;
inline constexpr Side right = Side::right;

// Primary opcodes 0 (SPECIAL), 1 (REGIMM), 16 (COP0) and 17 (COP1) select tables of their own.
inline constexpr OpcodeRow rows[] = {
    {P, 2, "J", exec_j, F::jump_target},
    {P, 3, "JAL", exec_jal, F::jump_target},
    {P, 4, "BEQ", exec_branch<alu::equal, plain>, F::beq_offset},
    {P, 5, "BNE", exec_branch<alu::not_equal, plain>, F::bne_target},
    {P, 6, "BLEZ", exec_branch<alu::at_most_zero, plain>, F::rs_target},
    {P, 7, "BGTZ", exec_branch<alu::above_zero, plain>, F::rs_target},
    {P, 8, "ADDI", exec_immediate_trapping<alu::add32>, F::rt_rs_imm_lower},
    {P, 9, "ADDIU", exec_immediate<alu::addu32, I::sign_extended>, F::rt_rs_imm_lower},
    {P, 10, "SLTI", exec_immediate<alu::slt, I::sign_extended>, F::rt_rs_imm_lower},
    {P, 11, "SLTIU", exec_immediate<alu::sltu, I::sign_extended>, F::rt_rs_imm_lower},
    {P, 12, "ANDI", exec_immediate<::alu::and_, I::zero_extended>, F::rt_rs_imm_upper},
    {P, 13, "ORI", exec_immediate<::alu::or_, I::zero_extended>, F::rt_rs_imm_upper},
    {P, 14, "XORI", exec_immediate<::alu::xor_, I::zero_extended>, F::rt_rs_imm_upper},
    {P, 15, "LUI", exec_lui, F::lui},
    {P, 18, "COP2", exec_coprocessor_absent, F::constant},
    {P, 20, "BEQL", exec_branch<alu::equal, likely>, F::rs_rt_target},
    {P, 21, "BNEL", exec_branch<alu::not_equal, likely>, F::rs_rt_target},
    {P, 22, "BLEZL", exec_branch<alu::at_most_zero, likely>, F::rs_target},
    {P, 23, "BGTZL", exec_branch<alu::above_zero, likely>, F::rs_target},
    {P, 24, "DADDI", exec_immediate_trapping<alu::add64, D>, F::rt_rs_imm_lower},
    {P, 25, "DADDIU", exec_immediate<::alu::add, I::sign_extended, D>, F::rt_rs_imm_lower},
    {P, 26, "LDL", exec_load_unaligned<8, left>, F::offset_base_lower},
    {P, 27, "LDR", exec_load_unaligned<8, right>, F::offset_base_lower},
    {P, 32, "LB", exec_load<1, true>, F::offset_base_lower},
    {P, 33, "LH", exec_load<2, true>, F::offset_base_lower},
    {P, 34, "LWL", exec_load_unaligned<4, left>, F::offset_base_lower},
    {P, 35, "LW", exec_load<4, true>, F::offset_base_upper},
    {P, 36, "LBU", exec_load<1, false>, F::offset_numbered_base},
    {P, 37, "LHU", exec_load<2, false>, F::offset_base_lower},
    {P, 38, "LWR", exec_load_unaligned<4, right>, F::offset_base_lower},
    {P, 39, "LWU", exec_load<4, false, D>, F::offset_base_lower},
    {P, 40, "SB", exec_store<1>, F::offset_base_lower},
    {P, 41, "SH", exec_store<2>, F::offset_base_lower},
    {P, 42, "SWL", exec_store_unaligned<4, left>, F::offset_base_lower},
    {P, 43, "SW", exec_store<4>, F::offset_base_lower},
    {P, 44, "SDL", exec_store_unaligned<8, left>, F::offset_base_lower},
    {P, 45, "SDR", exec_store_unaligned<8, right>, F::offset_base_lower},
    {P, 46, "SWR", exec_store_unaligned<4, right>, F::offset_base_lower},
    {P, 47, "CACHE", exec_cache, F::cache},
    {P, 48, "LL", exec_load_linked<4>, F::offset_base_lower},
    {P, 49, "LWC1", on_fpu<exec_load<4, false, W::word, load_fpr32>>, F::cop_offset_base},
    {P, 50, "LWC2", exec_coprocessor_absent, F::cop_offset_base},
    {P, 52, "LLD", exec_load_linked<8>, F::offset_base_lower},
    {P, 53, "LDC1", on_fpu<exec_load<8, false, W::word, load_fpr64>>, F::cop_offset_base},
    {P, 54, "LDC2", exec_coprocessor_absent, F::cop_offset_base},
    {P, 55, "LD", exec_load<8, false>, F::offset_base_lower},
    {P, 56, "SC", exec_store_conditional<4>, F::offset_base_lower},
    {P, 57, "SWC1", on_fpu<exec_store<4, W::word, stored_fpr32>>, F::cop_offset_base},
    {P, 58, "SWC2", exec_coprocessor_absent, F::cop_offset_base},
    {P, 60, "SCD", exec_store_conditional<8>, F::offset_base_lower},
    {P, 61, "SDC1", on_fpu<exec_store<8, W::word, stored_fpr64>>, F::cop_offset_base},
    {P, 62, "SDC2", exec_coprocessor_absent, F::cop_offset_base},
    {P, 63, "SD", exec_store<8>, F::offset_base_lower},

    {S, 0, "SLL", exec_shift<alu::sll>, F::nop_or_shift},
    {S, 2, "SRL", exec_shift<alu::srl>, F::rd_rt_sa},
    {S, 3, "SRA", exec_shift<alu::sra>, F::rd_rt_sa},
    {S, 4, "SLLV", exec_shift_variable<alu::sll>, F::rd_rt_rs},
    {S, 6, "SRLV", exec_shift_variable<alu::srl>, F::rd_rt_rs},
    {S, 7, "SRAV", exec_shift_variable<alu::sra>, F::rd_rt_rs},
    {S, 8, "JR", exec_jr, F::jr},
    {S, 9, "JALR", exec_jalr, F::jalr},
    {S, 12, "SYSCALL", exec_exception<Exception::syscall>, F::syscall_code},
    {S, 13, "BREAK", exec_exception<Exception::breakpoint>, F::break_codes},
    {S, 15, "SYNC", ::exec_ignored, F::constant},
    {S, 16, "MFHI", exec_move_from<&CpuState::hi_reg>, F::rd},
    {S, 17, "MTHI", exec_move_to<&CpuState::hi_reg>, F::rs},
    {S, 18, "MFLO", exec_move_from<&CpuState::lo_reg>, F::rd},
    {S, 19, "MTLO", exec_move_to<&CpuState::lo_reg>, F::rs},
    {S, 20, "DSLLV", exec_shift_variable<alu::dsll, D>, F::rd_rt_rs},
    {S, 22, "DSRLV", exec_shift_variable<alu::dsrl, D>, F::rd_rt_rs},
    {S, 23, "DSRAV", exec_shift_variable<alu::dsra, D>, F::rd_rt_rs},
    {S, 24, "MULT", exec_product<alu::mult>, F::rs_rt},
    {S, 25, "MULTU", exec_product<alu::multu>, F::rs_rt},
    {S, 26, "DIV", exec_product<alu::div>, F::divide},
    {S, 27, "DIVU", exec_product<alu::divu>, F::divide},
    {S, 28, "DMULT", exec_product<alu::dmult, D>, F::rs_rt},
    {S, 29, "DMULTU", exec_product<alu::dmultu, D>, F::rs_rt},
    {S, 30, "DDIV", exec_product<alu::ddiv, D>, F::divide},
    {S, 31, "DDIVU", exec_product<alu::ddivu, D>, F::divide},
    {S, 32, "ADD", exec_register_trapping<alu::add32>, F::rd_rs_rt},
    {S, 33, "ADDU", exec_register<alu::addu32>, F::rd_rs_rt},
    {S, 34, "SUB", exec_register_trapping<alu::sub32>, F::rd_rs_rt},
    {S, 35, "SUBU", exec_register<alu::subu32>, F::rd_rs_rt},
    {S, 36, "AND", exec_register<::alu::and_>, F::rd_rs_rt},
    {S, 37, "OR", exec_register<::alu::or_>, F::rd_rs_rt},
    {S, 38, "XOR", exec_register<::alu::xor_>, F::rd_rs_rt},
    {S, 39, "NOR", exec_register<::alu::nor>, F::rd_rs_rt},
    {S, 42, "SLT", exec_register<alu::slt>, F::rd_rs_rt},
    {S, 43, "SLTU", exec_register<alu::sltu>, F::rd_rs_rt},
    {S, 44, "DADD", exec_register_trapping<alu::add64, D>, F::rd_rs_rt},
    {S, 45, "DADDU", exec_register<::alu::add, D>, F::rd_rs_rt},
    {S, 46, "DSUB", exec_register_trapping<alu::sub64, D>, F::rd_rs_rt},
    {S, 47, "DSUBU", exec_register<::alu::dsub, D>, F::rd_rs_rt},
    {S, 48, "TGE", exec_trap<alu::at_least>, F::trap_code},
    {S, 49, "TGEU", exec_trap<alu::at_least_unsigned>, F::trap_code},
    {S, 50, "TLT", exec_trap<alu::less>, F::trap_code},
    {S, 51, "TLTU", exec_trap<alu::less_unsigned>, F::trap_code},
    {S, 52, "TEQ", exec_trap<alu::equal>, F::trap_code},
    {S, 54, "TNE", exec_trap<alu::not_equal>, F::trap_code},
    {S, 56, "DSLL", exec_shift<alu::dsll, 0, D>, F::rd_rt_sa},
    {S, 58, "DSRL", exec_shift<alu::dsrl, 0, D>, F::rd_rt_sa},
    {S, 59, "DSRA", exec_shift<alu::dsra, 0, D>, F::rd_rt_sa},
    {S, 60, "DSLL32", exec_shift<alu::dsll, 32, D>, F::rd_rt_sa},
    {S, 62, "DSRL32", exec_shift<alu::dsrl, 32, D>, F::rd_rt_sa},
    {S, 63, "DSRA32", exec_shift<alu::dsra, 32, D>, F::rd_rt_sa},

    {R, 0, "BLTZ", exec_branch<alu::below_zero, plain>, F::rs_target},
    {R, 1, "BGEZ", exec_branch<alu::at_least_zero, plain>, F::rs_target},
    {R, 2, "BLTZL", exec_branch<alu::below_zero, likely>, F::rs_target},
    {R, 3, "BGEZL", exec_branch<alu::at_least_zero, likely>, F::rs_target},
    {R, 8, "TGEI", exec_trap_immediate<alu::at_least>, F::rs_imm},
    {R, 9, "TGEIU", exec_trap_immediate<alu::at_least_unsigned>, F::rs_imm},
    {R, 10, "TLTI", exec_trap_immediate<alu::less>, F::rs_imm},
    {R, 11, "TLTIU", exec_trap_immediate<alu::less_unsigned>, F::rs_imm},
    {R, 12, "TEQI", exec_trap_immediate<alu::equal>, F::rs_imm},
    {R, 14, "TNEI", exec_trap_immediate<alu::not_equal>, F::rs_imm},
    {R, 16, "BLTZAL", exec_branch<alu::below_zero, link>, F::rs_target},
    {R, 17, "BGEZAL", exec_branch<alu::at_least_zero, link>, F::rs_target},
    {R, 18, "BLTZALL", exec_branch<alu::below_zero, link_likely>, F::rs_target},
    {R, 19, "BGEZALL", exec_branch<alu::at_least_zero, link_likely>, F::rs_target},

    {C, 0, "MFC0", exec_move_from_cop0<W::word>, F::rt_c0},
    {C, 1, "DMFC0", exec_move_from_cop0<D>, F::rt_c0},
    {C, 4, "MTC0", exec_move_to_cop0<W::word>, F::mtc0},
    {C, 5, "DMTC0", exec_move_to_cop0<D>, F::rt_c0},

    {CF, 1, "TLBR", exec_tlb<read_tlb_entry>, F::constant},
    {CF, 2, "TLBWI", exec_tlb<write_indexed_tlb_entry>, F::constant},
    {CF, 6, "TLBWR", exec_tlb<write_random_tlb_entry>, F::constant},
    {CF, 8, "TLBP", exec_tlb<probe_tlb>, F::constant},
    {CF, 24, "ERET", exec_eret, F::constant},
};

static_assert(every_slot_claimed_at_most_once(rows),
              "an opcode map row claims a slot another row claims, or a slot that does not exist");

constexpr OpcodeTable table(OpTable which, DisasmForm fallback) {
  return expand_rows(rows, which, {exec_reserved, "", fallback});
}

// Every encoding without a row is a reserved instruction.
inline constexpr OpcodeTable primary = table(P, F::none);
inline constexpr OpcodeTable special = table(S, F::none);
inline constexpr OpcodeTable regimm = table(R, F::regimm_fallback);
inline constexpr OpcodeTable cop0 = table(C, F::cop0_fallback);
inline constexpr OpcodeTable cop0_function = table(CF, F::cop0_function_fallback);

inline constexpr uint8_t kRegimm = 1;
inline constexpr uint8_t kCop0 = 16;
inline constexpr uint8_t kCop0Function = 16;  // rs from here on: the CO group

// The interpreter looks every word up here: SPECIAL and the opcodes with a row of their own, most
// words, are found with one test each.
inline const OpcodeEntry& entry(InstrFields f) {
  constexpr uint64_t kSelectsTable = 1ull << kRegimm | 1ull << kCop0 | 1ull << kCop1;
  const uint8_t op = f.op();
  if (op == 0) return special[f.funct()];
  if (!((kSelectsTable >> op) & 1)) [[likely]]
    return primary[op];
  if (op == kRegimm) return regimm[f.rt()];
  if (op == kCop0) return f.rs() >= kCop0Function ? cop0_function[f.funct()] : cop0[f.rs()];
  return cop1_entry(f);
}

}  // namespace r4300i::opcode_map_detail
