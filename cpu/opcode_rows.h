#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "cpu/handlers.h"

// What an opcode map is made of, for both processor models. Each row names an encoding once, with
// what the interpreter does for it and how the disassembler writes it; both read the same row.

// The 64-entry table a row belongs to: the primary opcode, SPECIAL's funct, REGIMM's rt,
// coprocessor 0's rs, and the function of its CO group; coprocessor 1's rs, the rt of its branches
// and the function of each of its formats.
enum class OpTable : uint8_t {
  primary,
  special,
  regimm,
  cop0,
  cop0_function,
  cop1,
  cop1_branch,
  cop1_single,
  cop1_double,
  cop1_word,
  cop1_long,
};

// How the disassembler writes a row.
enum class DisasmForm : uint8_t {
  // The forms of the 0.2c model.
  none,                  // unknown to the disassembler: the fallback text with the numeric codes
  constant,              // the name alone
  jump_target,           // NAME target as %X
  beq_offset,            // BEQ rs,rt,imm as %X
  bne_target,            // BNE rs,rt,target / BNEZ rs,target, target from the word's address
  rt_rs_imm_lower,       // NAME rt,rs,imm as %x
  rt_rs_imm_upper,       // NAME rt,rs,imm as %X
  lui,                   // LUI rt,0x%X
  mtc0,                  // MTC0 cp0(rd),rt for rs 4, the "Op: rs:" fallback otherwise
  offset_base_upper,     // NAME rt,imm as %X(rs)
  offset_base_lower,     // NAME rt,imm as %x(rs)
  offset_numbered_base,  // NAME rt,imm as %x(rs as the number %x)
  nop_or_sll,            // "NOP" when sa is 0, "SLL" otherwise
  jr,                    // JR rs
  break_code,            // BREAK and the (always zero) break code
  rd_rs_rt,              // NAME rd,rs,rt
  // The complete model's forms for what 0.2c does not write in full, in GNU objdump's operand
  // order; numbers are hexadecimal, addresses after "0x".
  nop_or_shift,            // "NOP" for the word 0, NAME rd,rt,sa otherwise
  rd_rt_sa,                // NAME rd,rt,sa as %X
  rd_rt_rs,                // NAME rd,rt,rs
  rs_rt,                   // NAME rs,rt
  divide,                  // NAME r0,rs,rt: objdump names the quotient register 0
  rd,                      // NAME rd
  rs,                      // NAME rs
  jalr,                    // JALR rs when rd is ra, JALR rd,rs otherwise
  syscall_code,            // NAME, then the 20-bit code as %X unless it is 0
  break_codes,             // NAME, then code1 and code2 as objdump splits them, as %X
  trap_code,               // NAME rs,rt, then the 10-bit code as %X unless it is 0
  rs_imm,                  // NAME rs,imm as %X
  rs_target,               // NAME rs,0x%X target
  rs_rt_target,            // NAME rs,rt,0x%X target
  rt_c0,                   // NAME rt,cp0(rd)
  cache,                   // CACHE op,imm as %x(rs)
  cop_offset_base,         // NAME f5 or $5 (coprocessor 1 or 2), imm as %x(rs)
  regimm_fallback,         // "Op: 1 rt: %X"
  cop0_fallback,           // "Op: %X rs: %X", the coprocessor's opcode and rs
  cop0_function_fallback,  // "Op: %X Funct: %X", the coprocessor's opcode and function
  // Coprocessor 1's, its registers written as f0-f31.
  rt_fs,          // NAME rt,fs
  rt_fcr,         // NAME rt,$fs: a control register by number
  branch_target,  // NAME 0x%X target
  fd_fs_ft,       // NAME fd,fs,ft
  fd_fs,          // NAME fd,fs
  fs_ft,          // NAME fs,ft
};

struct OpcodeRow {
  OpTable table;
  uint8_t code;
  const char* name;
  Handler exec;
  DisasmForm form;
};

// One slot of a 64-entry dispatch table.
struct OpcodeEntry {
  Handler exec;
  const char* name;
  DisasmForm form;
};

using OpcodeTable = std::array<OpcodeEntry, 64>;

// The table `which` of `rows`, every slot no row claims holding `vacant`.
constexpr OpcodeTable expand_rows(std::span<const OpcodeRow> rows, OpTable which,
                                  OpcodeEntry vacant) {
  OpcodeTable table{};
  table.fill(vacant);
  for (const OpcodeRow& row : rows) {
    if (row.table == which) table[row.code] = {row.exec, row.name, row.form};
  }
  return table;
}

// False when a row claims a slot that another row claims or that does not exist. Primary opcode 0
// is never a row: it selects the SPECIAL table.
constexpr bool every_slot_claimed_at_most_once(std::span<const OpcodeRow> rows) {
  for (const OpcodeRow& a : rows) {
    if (a.code >= 64 || (a.table == OpTable::primary && a.code == 0)) return false;
    int claims = 0;
    for (const OpcodeRow& b : rows) claims += (a.table == b.table && a.code == b.code);
    if (claims != 1) return false;
  }
  return true;
}
