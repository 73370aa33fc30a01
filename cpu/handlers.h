#pragma once

#include <cstdint>

#include "cpu/instr_fields.h"

// What one instruction does to the processor. Each returns the result code of
// `execute_instruction`: 0 carried out (or ignored), -1 not carried out. `name` is the mnemonic of
// the opcode map's row, for the handlers that record it.
using Handler = int32_t (*)(InstrFields f, const char* name);

// Shared by many rows.
int32_t exec_not_carried_out(InstrFields f, const char* name);
int32_t exec_ignored(InstrFields f, const char* name);
int32_t exec_no_advance(InstrFields f, const char* name);
int32_t exec_unknown_primary(InstrFields f, const char* name);

// Arithmetic, logic and shifts.
int32_t exec_addi(InstrFields f, const char* name);
int32_t exec_andi(InstrFields f, const char* name);
int32_t exec_ori(InstrFields f, const char* name);
int32_t exec_lui(InstrFields f, const char* name);
int32_t exec_sll(InstrFields f, const char* name);
int32_t exec_sllv(InstrFields f, const char* name);
int32_t exec_srav(InstrFields f, const char* name);
int32_t exec_dsra32(InstrFields f, const char* name);
int32_t exec_mfhi(InstrFields f, const char* name);
int32_t exec_mthi(InstrFields f, const char* name);
int32_t exec_mflo(InstrFields f, const char* name);
int32_t exec_mtlo(InstrFields f, const char* name);
int32_t exec_ddiv(InstrFields f, const char* name);
int32_t exec_add(InstrFields f, const char* name);
int32_t exec_addu(InstrFields f, const char* name);
int32_t exec_dsub(InstrFields f, const char* name);
int32_t exec_dsubu(InstrFields f, const char* name);
int32_t exec_and(InstrFields f, const char* name);
int32_t exec_or(InstrFields f, const char* name);
int32_t exec_xor(InstrFields f, const char* name);
int32_t exec_nor(InstrFields f, const char* name);
int32_t exec_slt(InstrFields f, const char* name);
int32_t exec_sltu(InstrFields f, const char* name);

// Branches and jumps.
int32_t exec_j(InstrFields f, const char* name);
int32_t exec_jal(InstrFields f, const char* name);
int32_t exec_jr(InstrFields f, const char* name);
int32_t exec_beq(InstrFields f, const char* name);
int32_t exec_bne(InstrFields f, const char* name);

// Loads and stores.
int32_t exec_lb(InstrFields f, const char* name);
int32_t exec_lbu(InstrFields f, const char* name);
int32_t exec_lw(InstrFields f, const char* name);
int32_t exec_ld(InstrFields f, const char* name);
int32_t exec_sw(InstrFields f, const char* name);

// Coprocessors.
int32_t exec_cop0(InstrFields f, const char* name);
int32_t exec_cop1(InstrFields f, const char* name);
