#pragma once

#include <cstdint>

#include "cpu/instr_fields.h"

// What one instruction does to the processor. Each returns the result code of
// `execute_instruction`: 0 carried out (or ignored), -1 not carried out. `name` is the mnemonic of
// the opcode map's row, for the handlers that record it.
using Handler = int32_t (*)(const InstrFields& f, const char* name);

// Shared by many rows.
int32_t exec_not_carried_out(const InstrFields& f, const char* name);
int32_t exec_ignored(const InstrFields& f, const char* name);
int32_t exec_no_advance(const InstrFields& f, const char* name);
int32_t exec_unknown_primary(const InstrFields& f, const char* name);

// Arithmetic, logic and shifts.
int32_t exec_addi(const InstrFields& f, const char* name);
int32_t exec_andi(const InstrFields& f, const char* name);
int32_t exec_ori(const InstrFields& f, const char* name);
int32_t exec_lui(const InstrFields& f, const char* name);
int32_t exec_sll(const InstrFields& f, const char* name);
int32_t exec_sllv(const InstrFields& f, const char* name);
int32_t exec_srav(const InstrFields& f, const char* name);
int32_t exec_dsra32(const InstrFields& f, const char* name);
int32_t exec_mfhi(const InstrFields& f, const char* name);
int32_t exec_mthi(const InstrFields& f, const char* name);
int32_t exec_mflo(const InstrFields& f, const char* name);
int32_t exec_mtlo(const InstrFields& f, const char* name);
int32_t exec_ddiv(const InstrFields& f, const char* name);
int32_t exec_add(const InstrFields& f, const char* name);
int32_t exec_addu(const InstrFields& f, const char* name);
int32_t exec_dsub(const InstrFields& f, const char* name);
int32_t exec_dsubu(const InstrFields& f, const char* name);
int32_t exec_and(const InstrFields& f, const char* name);
int32_t exec_or(const InstrFields& f, const char* name);
int32_t exec_xor(const InstrFields& f, const char* name);
int32_t exec_nor(const InstrFields& f, const char* name);
int32_t exec_slt(const InstrFields& f, const char* name);
int32_t exec_sltu(const InstrFields& f, const char* name);

// Branches and jumps.
int32_t exec_j(const InstrFields& f, const char* name);
int32_t exec_jal(const InstrFields& f, const char* name);
int32_t exec_jr(const InstrFields& f, const char* name);
int32_t exec_beq(const InstrFields& f, const char* name);
int32_t exec_bne(const InstrFields& f, const char* name);

// Loads and stores.
int32_t exec_lb(const InstrFields& f, const char* name);
int32_t exec_lbu(const InstrFields& f, const char* name);
int32_t exec_lw(const InstrFields& f, const char* name);
int32_t exec_ld(const InstrFields& f, const char* name);
int32_t exec_sw(const InstrFields& f, const char* name);

// Coprocessors.
int32_t exec_cop0(const InstrFields& f, const char* name);
int32_t exec_cop1(const InstrFields& f, const char* name);
