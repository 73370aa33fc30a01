#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/instr_fields.h"
#include "memory/memory_map.h"

// The decoded form of instruction words, for the decoded engine.

// The words the engine runs besides the jumps and branches, with what each does; any of them may
// stand in a delay slot. `r` is the register file and `e` the word's entry; REACH(size) finds the
// bytes of a load or store, or leaves the word to the exact path. Expanded by the engine's run
// loop once for each way a word can run.
#define KORVEL_SLOT_BODIES(X)                                          \
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
  X(lb, REACH(1); r[e->a] = alu::lb_value(bytes[0]))                   \
  X(lbu, REACH(1); r[e->a] = bytes[0])                                 \
  X(lw, REACH(4); r[e->a] = alu::lw_value(load_big_endian(bytes, 4)))  \
  X(ld, REACH(8); r[e->a] = load_big_endian(bytes, 8))                 \
  X(sw, REACH(4); store_big_endian_word(bytes, r[e->a]); forget_stored_word(physical))

// The branches, which go on to the next word when not taken, and to TAKEN when taken.
#define KORVEL_BRANCH_BODIES(X)              \
  X(beq, if (r[e->b] == r[e->c]) goto TAKEN) \
  X(bne, if (r[e->b] != r[e->c]) goto TAKEN)

// `decode` marks a word to be decoded (again) when it is next run, `exit` one the engine leaves to
// the exact path.
enum DecodedOp : uint8_t {
  op_decode,
  op_exit,
#define KORVEL_ENUMERATE(name, body) op_##name,
  KORVEL_SLOT_BODIES(KORVEL_ENUMERATE) KORVEL_BRANCH_BODIES(KORVEL_ENUMERATE)
#undef KORVEL_ENUMERATE
      op_j,
  op_jal,
  op_jr,
  op_count,
};

// 32 bytes, so that the distance between two words is a shift away from their count.
struct alignas(32) DecodedWord {
  const void* handler;  // where the engine's run loop goes for this word
  uint8_t op;
  uint8_t a;      // the register written: rt of the immediate forms, rd of the others; SW's source
  uint8_t b;      // rs
  uint8_t c;      // rt
  uint32_t imm;   // the immediate, the shift amount or the jump's target field
  uint32_t word;  // as fetched, for `current_instruction`
  // A branch's target as the index of its word in the page. A branch whose target lies in another
  // page, or whose target or continuation may be a stop address, is left to the exact path.
  uint16_t target;
};

// The decoded words of one 4 KB page of plain storage, and after them one that leaves the page.
struct DecodedPage {
  explicit DecodedPage(int index);

  uint8_t* const storage;
  const uint32_t physical;
  uint32_t generation = 0;
  DecodedWord words[1025]{};
};

// The word at `physical` (in a code page) in decoded form, without a handler.
DecodedWord decoded_form(uint32_t physical);

// Fills `word` from the storage it stands for. `handlers` gives each operation's place in the run
// loop.
void decode_word(const DecodedPage& page, DecodedWord& word, const void* const* handlers);

// A delay slot may run inline: neither a jump nor a branch, whose own hand-over the interpreter
// treats in a way of its own.
inline bool runs_in_a_slot(uint8_t op) {
  return op >= op_nop && op <= op_sw;
}

// Whether an operation writes register `a` (SW reads it).
inline bool writes_a(uint8_t op) {
  return runs_in_a_slot(op) && op != op_nop && op != op_mthi && op != op_mtlo && op != op_ddiv &&
         op != op_sw;
}

inline unsigned access_size(uint8_t op) {
  return op == op_lw || op == op_sw ? 4 : op == op_ld ? 8 : 1;
}

// The bytes of an access when all of them lie in one of the memories code runs from; null
// otherwise, and the exact path then makes the access.
inline uint8_t* plain_bytes(uint32_t physical, uint32_t size) {
  if (physical <= 0x00400000u - size) return memory.rdram + physical;
  uint32_t sp = physical - 0x04000000u;
  if (sp <= 0x1000u - size) return memory.sp_dmem + sp;
  if (sp - 0x1000u <= 0x1000u - size) return memory.sp_imem + (sp - 0x1000u);
  return nullptr;
}

inline void store_big_endian_word(uint8_t* bytes, uint64_t value) {
  uint32_t word = __builtin_bswap32(static_cast<uint32_t>(value));
  std::memcpy(bytes, &word, 4);
}

inline uint64_t load_big_endian(const uint8_t* bytes, unsigned size) {
  if (size == 8) {
    uint64_t value;
    std::memcpy(&value, bytes, 8);
    return __builtin_bswap64(value);
  }
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return __builtin_bswap32(value);
}
