#include <cstdint>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/handler_support.h"
#include "cpu/handlers.h"

namespace {

uint64_t rs(InstrFields f) {
  return cpu.gpr[f.rs()];
}
uint64_t rt(InstrFields f) {
  return cpu.gpr[f.rt()];
}

}  // namespace

int32_t exec_addi(InstrFields f, const char*) {
  return write_rt(f, alu::addi(rs(f), f.imm()));
}

int32_t exec_andi(InstrFields f, const char*) {
  return write_rt(f, alu::andi(rs(f), f.imm()));
}

int32_t exec_ori(InstrFields f, const char*) {
  return write_rt(f, alu::ori(rs(f), f.imm()));
}

int32_t exec_lui(InstrFields f, const char*) {
  return write_rt(f, alu::lui(f.imm()));
}

int32_t exec_sll(InstrFields f, const char*) {
  return write_rd(f, alu::sll(rt(f), f.sa()));
}

int32_t exec_sllv(InstrFields f, const char*) {
  return write_rd(f, alu::sllv(rt(f), rs(f)));
}

int32_t exec_srav(InstrFields f, const char*) {
  return write_rd(f, alu::srav(rt(f), rs(f)));
}

int32_t exec_dsra32(InstrFields f, const char*) {
  return write_rd(f, alu::dsra32(rt(f), f.sa()));
}

int32_t exec_mfhi(InstrFields f, const char*) {
  return write_rd(f, cpu.hi_reg);
}

int32_t exec_mthi(InstrFields f, const char*) {
  cpu.hi_reg = rs(f);
  return advance();
}

int32_t exec_mflo(InstrFields f, const char*) {
  return write_rd(f, cpu.lo_reg);
}

int32_t exec_mtlo(InstrFields f, const char*) {
  cpu.lo_reg = rs(f);
  return advance();
}

int32_t exec_ddiv(InstrFields f, const char*) {
  alu::Quotient q = alu::ddiv(rs(f), rt(f));
  cpu.lo_reg = q.lo;
  cpu.hi_reg = q.hi;
  return advance();
}

int32_t exec_add(InstrFields f, const char*) {
  return write_rd(f, alu::add(rs(f), rt(f)));
}

int32_t exec_addu(InstrFields f, const char*) {
  return write_rd(f, alu::addu(rs(f), rt(f)));
}

int32_t exec_dsub(InstrFields f, const char*) {
  return write_rd(f, alu::dsub(rs(f), rt(f)));
}

int32_t exec_dsubu(InstrFields f, const char*) {
  return write_rd(f, alu::dsubu(rs(f), rt(f)));
}

int32_t exec_and(InstrFields f, const char*) {
  return write_rd(f, alu::and_(rs(f), rt(f)));
}

int32_t exec_or(InstrFields f, const char*) {
  return write_rd(f, alu::or_(rs(f), rt(f)));
}

int32_t exec_xor(InstrFields f, const char*) {
  return write_rd(f, alu::xor_(rs(f), rt(f)));
}

int32_t exec_nor(InstrFields f, const char*) {
  return write_rd(f, alu::nor(rs(f), rt(f)));
}

int32_t exec_slt(InstrFields f, const char*) {
  return write_rd(f, alu::slt(rs(f), rt(f)));
}

int32_t exec_sltu(InstrFields f, const char*) {
  return write_rd(f, alu::sltu(rs(f), rt(f)));
}
