#pragma once

// The decoded engine's register arithmetic, as lists its run loop expands once for each way a word
// can run: decoded_engine.cpp alone includes this. Each entry is X(operation, body), in the order
// of `DecodedOp`; in a body `r` is the register file, `e` the word's entry, `ca` the complete
// model's arithmetic (r4300i::alu), and REFUSED where a word goes when it leaves to the exact path.

#include <optional>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/alu.h"

// The 0.2c model's, and the complete model's that compute the same.
#define KORVEL_ARITHMETIC(X)                                           \
  X(nop, )                                                             \
  X(addi, r[e->a] = alu::addi(r[e->b], static_cast<uint16_t>(e->imm))) \
  X(andi, r[e->a] = alu::andi(r[e->b], static_cast<uint16_t>(e->imm))) \
  X(ori, r[e->a] = alu::ori(r[e->b], static_cast<uint16_t>(e->imm)))   \
  X(lui, r[e->a] = alu::lui(static_cast<uint16_t>(e->imm)))            \
  X(sll, r[e->a] = alu::sll(r[e->c], e->imm))                          \
  X(sllv, r[e->a] = alu::sllv(r[e->c], r[e->b]))                       \
  X(srav, r[e->a] = alu::srav(r[e->c], r[e->b]))                       \
  X(dsra32, r[e->a] = alu::dsra32(r[e->c], e->imm))                    \
  X(mfhi, r[e->a] = cpu.hi_reg)                                        \
  X(mthi, cpu.hi_reg = r[e->b])                                        \
  X(mflo, r[e->a] = cpu.lo_reg)                                        \
  X(mtlo, cpu.lo_reg = r[e->b])                                        \
  X(ddiv, {                                                            \
    alu::Quotient q = alu::ddiv(r[e->b], r[e->c]);                     \
    cpu.lo_reg = q.lo;                                                 \
    cpu.hi_reg = q.hi;                                                 \
  })                                                                   \
  X(add, r[e->a] = alu::add(r[e->b], r[e->c]))                         \
  X(addu, r[e->a] = alu::addu(r[e->b], r[e->c]))                       \
  X(dsub, r[e->a] = alu::dsub(r[e->b], r[e->c]))                       \
  X(dsubu, r[e->a] = alu::dsubu(r[e->b], r[e->c]))                     \
  X(and, r[e->a] = alu::and_(r[e->b], r[e->c]))                        \
  X(or, r[e->a] = alu::or_(r[e->b], r[e->c]))                          \
  X(xor, r[e->a] = alu::xor_(r[e->b], r[e->c]))                        \
  X(nor, r[e->a] = alu::nor(r[e->b], r[e->c]))                         \
  X(slt, r[e->a] = alu::slt(r[e->b], r[e->c]))                         \
  X(sltu, r[e->a] = alu::sltu(r[e->b], r[e->c]))                       \
  KORVEL_COMPLETE_ARITHMETIC(X)

// The complete model's own: 32-bit operations work on the low halves and sign-extend their
// results; TRAPPING leaves a sum that overflows to the exact path, which raises the exception.
#define KORVEL_COMPLETE_ARITHMETIC(X)                                   \
  X(addiu32, r[e->a] = ca::addu32(r[e->b], SIGNED_IMM))                 \
  X(slti, r[e->a] = ca::slt(r[e->b], SIGNED_IMM))                       \
  X(sltiu, r[e->a] = ca::sltu(r[e->b], SIGNED_IMM))                     \
  X(xori, r[e->a] = alu::xor_(r[e->b], e->imm))                         \
  X(lui32, r[e->a] = ca::lui(static_cast<uint16_t>(e->imm)))            \
  X(sll32, r[e->a] = ca::sll(r[e->c], e->imm))                          \
  X(srl32, r[e->a] = ca::srl(r[e->c], e->imm))                          \
  X(sra32, r[e->a] = ca::sra(r[e->c], e->imm))                          \
  X(sllv32, r[e->a] = ca::sll(r[e->c], static_cast<unsigned>(r[e->b]))) \
  X(srlv32, r[e->a] = ca::srl(r[e->c], static_cast<unsigned>(r[e->b]))) \
  X(srav32, r[e->a] = ca::sra(r[e->c], static_cast<unsigned>(r[e->b]))) \
  X(addu32, r[e->a] = ca::addu32(r[e->b], r[e->c]))                     \
  X(subu32, r[e->a] = ca::subu32(r[e->b], r[e->c]))                     \
  X(sltu64, r[e->a] = ca::sltu(r[e->b], r[e->c]))                       \
  X(mult, HI_LO(ca::mult(r[e->b], r[e->c])))                            \
  X(multu, HI_LO(ca::multu(r[e->b], r[e->c])))                          \
  X(div, HI_LO(ca::div(r[e->b], r[e->c])))                              \
  X(divu, HI_LO(ca::divu(r[e->b], r[e->c])))                            \
  X(add32, TRAPPING(ca::add32(r[e->b], r[e->c])))                       \
  X(addi32, TRAPPING(ca::add32(r[e->b], SIGNED_IMM)))                   \
  X(sub32, TRAPPING(ca::sub32(r[e->b], r[e->c])))

#define SIGNED_IMM ca::sign_extend_16(static_cast<uint16_t>(e->imm))
#define TRAPPING(sum)                          \
  {                                            \
    const std::optional<uint64_t> value = sum; \
    if (!value) goto REFUSED;                  \
    r[e->a] = *value;                          \
  }
#define HI_LO(product)              \
  {                                 \
    const ca::HiLo value = product; \
    cpu.hi_reg = value.hi;          \
    cpu.lo_reg = value.lo;          \
  }
