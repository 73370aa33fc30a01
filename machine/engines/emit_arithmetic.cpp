#include "machine/engines/block_emission.h"

namespace block_emission {

void BlockEmitter::emit_straight(uint32_t k, uint32_t exit_before) {
  const DecodedWord& w = block_.words[k];
  if (operation(w.op).bytes != 0) {
    emit_memory(k, exit_before);
  } else if (w.op == op_mthi || w.op == op_mtlo) {
    const std::size_t field =
        w.op == op_mthi ? offsetof(CpuState, hi_reg) : offsetof(CpuState, lo_reg);
    a_.mov(cpu_field(field, 8), value(w.b, x86::rax));
  } else if (w.op == op_mult || w.op == op_multu) {
    emit_product(w);
  } else if (traps_on_overflow(w.op)) {
    emit_trapping(w, exit_before);
  } else if (w.op == op_fpu) {
    emit_fpu_word(k, exit_before);
  } else if (w.op != op_nop && w.a != 0) {
    const x86::Gp to = result_for(w.a);
    emit_arithmetic(w, to);
    set(w.a, to);
  }
}

// Computes a word that writes register `a` into `to`, which is free to use: rax, or `a`'s own
// host register, which the word may also read.
void BlockEmitter::emit_arithmetic(const DecodedWord& w, const x86::Gp& to) {
  switch (w.op) {
    case op_addi:
    case op_andi:
    case op_ori:
      emit_immediate(w, to);
      return;
    case op_lui:
      a_.mov(to.r32(), static_cast<uint32_t>(alu::lui(static_cast<uint16_t>(w.imm))));
      return;
    case op_sll:
    case op_dsra32:
      load(to, w.c);
      if (w.op == op_dsra32) {
        a_.sar(to, w.imm + 32);
      } else if (w.imm != 0) {
        a_.shl(to, w.imm);
      }
      return;
    case op_sllv:
    case op_srav:
      emit_variable_shift(w, to);
      return;
    case op_mfhi:
    case op_mflo:
      a_.mov(to, cpu_field(
                     w.op == op_mfhi ? offsetof(CpuState, hi_reg) : offsetof(CpuState, lo_reg), 8));
      return;
    case op_slt:
    case op_sltu:
    case op_sltu64:
    case op_slti:
    case op_sltiu:
      emit_comparison(w, to);
      return;
    case op_xori:
      load(to, w.b);
      if (w.imm != 0) a_.xor_(to, w.imm);
      return;
    case op_lui32:
      a_.mov(to, imm(ca::lui(static_cast<uint16_t>(w.imm))));
      return;
    case op_addiu32:
    case op_sll32:
    case op_srl32:
    case op_sra32:
    case op_sllv32:
    case op_srlv32:
    case op_srav32:
    case op_addu32:
    case op_subu32:
      emit_word_arithmetic(w, to);
      return;
    default:
      emit_register_arithmetic(w, to);
      return;
  }
}

// The complete model's 32-bit operations: on the low halves, in `to`'s, the result
// sign-extended (or left so, see `unextended_`). ADDU's and SUBU's second operand is taken from
// its host register, unless that is `to` and the first operand goes there; it goes into ecx
// first then, as a variable shift's amount does.
void BlockEmitter::emit_word_arithmetic(const DecodedWord& w, const x86::Gp& to) {
  const bool shift = w.op >= op_sll32 && w.op <= op_srav32;
  // Mostly `to` holds the first operand already (ADDIU on its own register, say).
  const unsigned first = shift ? w.c : w.b;
  const bool to_holds_first = first != 0 && cached(first) && host(first) == to;
  x86::Gp second = x86::ecx;
  if (w.op >= op_sllv32 && w.op <= op_srav32) low_half(w.b, x86::rcx);
  if (w.op == op_addu32 || w.op == op_subu32) {
    if (w.c != 0 && cached(w.c) && (host(w.c) != to || to_holds_first)) {
      second = host(w.c).r32();
    } else {
      low_half(w.c, x86::rcx);
    }
  }
  if (!to_holds_first) low_half(first, to);
  const x86::Gp half = to.r32();
  switch (w.op) {
    case op_addiu32:
      a_.add(half, static_cast<int32_t>(static_cast<int16_t>(w.imm)));
      break;
    case op_sll32:
      a_.shl(half, w.imm);
      break;
    case op_srl32:
      a_.shr(half, w.imm);
      break;
    case op_sra32:
      a_.sar(half, w.imm);
      break;
    case op_sllv32:
      a_.shl(half, x86::cl);
      break;
    case op_srlv32:
      a_.shr(half, x86::cl);
      break;
    case op_srav32:
      a_.sar(half, x86::cl);
      break;
    case op_addu32:
      a_.add(half, second);
      break;
    default:  // SUBU
      a_.sub(half, second);
      break;
  }
  if (!unextended_[w.a]) a_.movsxd(to, half);
}

// ADD, ADDI and SUB: as ADDU, ADDIU and SUBU, but an overflow leaves before `exit_before` for
// the exact path to raise the exception, with the destination as it was.
void BlockEmitter::emit_trapping(const DecodedWord& w, uint32_t exit_before) {
  const Label overflow = a_.newLabel();
  low_half(w.b, x86::rax);
  if (w.op == op_addi32) {
    a_.add(x86::eax, static_cast<int32_t>(static_cast<int16_t>(w.imm)));
  } else {
    low_half(w.c, x86::rcx);
    if (w.op == op_add32) {
      a_.add(x86::eax, x86::ecx);
    } else {
      a_.sub(x86::eax, x86::ecx);
    }
  }
  a_.jo(overflow);
  const x86::Gp to = result_for(w.a);
  a_.movsxd(to, x86::eax);
  set(w.a, to);
  cold_.push_back([this, overflow, exit_before] {
    a_.bind(overflow);
    side_exit(exit_before);
  });
}

// MULT and MULTU: the 64-bit product of the low halves, its halves sign-extended into HI and LO.
void BlockEmitter::emit_product(const DecodedWord& w) {
  low_half(w.b, x86::rax);
  low_half(w.c, x86::rcx);
  if (w.op == op_mult) {
    a_.movsxd(x86::rax, x86::eax);
    a_.movsxd(x86::rcx, x86::ecx);
  }
  a_.imul(x86::rax, x86::rcx);
  a_.movsxd(x86::rcx, x86::eax);
  a_.mov(cpu_field(offsetof(CpuState, lo_reg), 8), x86::rcx);
  a_.sar(x86::rax, 32);
  a_.movsxd(x86::rax, x86::eax);
  a_.mov(cpu_field(offsetof(CpuState, hi_reg), 8), x86::rax);
}

void BlockEmitter::emit_immediate(const DecodedWord& w, const x86::Gp& to) {
  load(to, w.b);
  if (w.op == op_addi) {
    a_.add(to, static_cast<int32_t>(static_cast<int16_t>(w.imm)));
  } else if (w.op == op_andi) {
    a_.and_(to, w.imm);
  } else if (w.imm != 0) {
    a_.or_(to, w.imm);
  }
}

// The count is the low 8 bits of rs, in cl; rax holds the value until it is in place.
void BlockEmitter::emit_variable_shift(const DecodedWord& w, const x86::Gp& to) {
  address_ = {};  // rdx is needed here
  low_half(w.b, x86::rcx);
  a_.and_(x86::ecx, 0xFF);
  load(x86::rax, w.c);
  if (w.op == op_sllv) {
    const Label done = a_.newLabel();
    a_.shl(x86::rax, x86::cl);
    a_.cmp(x86::ecx, 64);
    a_.jb(done);
    a_.xor_(x86::eax, x86::eax);
    a_.bind(done);
  } else {
    a_.mov(x86::edx, 63);
    a_.cmp(x86::ecx, 63);
    a_.cmova(x86::ecx, x86::edx);
    a_.sar(x86::rax, x86::cl);
  }
  if (to != x86::rax) a_.mov(to, x86::rax);
}

// SLT compares whole registers as signed numbers, 0.2c's SLTU their low halves as unsigned
// ones; the complete model's SLTU, SLTI and SLTIU whole registers with rt or the sign-extended
// immediate.
void BlockEmitter::emit_comparison(const DecodedWord& w, const x86::Gp& to) {
  if (w.op == op_slti || w.op == op_sltiu) {
    a_.cmp(value(w.b, x86::rax), static_cast<int32_t>(static_cast<int16_t>(w.imm)));
    a_.set(w.op == op_slti ? x86::CondCode::kL : x86::CondCode::kB, x86::al);
  } else if (w.op == op_slt || w.op == op_sltu64) {
    load(x86::rax, w.b);
    a_.cmp(x86::rax, value(w.c, x86::rcx));
    a_.set(w.op == op_slt ? x86::CondCode::kL : x86::CondCode::kB, x86::al);
  } else {
    low_half(w.b, x86::rax);
    low_half(w.c, x86::rcx);
    a_.cmp(x86::eax, x86::ecx);
    a_.setb(x86::al);
  }
  a_.movzx(to.r32(), x86::al);
}

// The three-register operations: rs (its low half for ADDU and DSUBU) op rt, in rax first, as
// `to` may be rt's own register; in place where rd is rs and not rt.
void BlockEmitter::emit_register_arithmetic(const DecodedWord& w, const x86::Gp& to) {
  // A move, as compilers write one: the other register as it stands.
  if ((w.op == op_or || w.op == op_xor) && (w.b == 0 || w.c == 0)) {
    load(to, w.b == 0 ? w.c : w.b);
    return;
  }
  if (to != x86::rax && w.a == w.b && w.a != w.c) {
    if (w.op == op_addu || w.op == op_dsubu) a_.mov(to.r32(), to.r32());
    apply_register_operation(w.op, to, value(w.c, x86::rcx));
    return;
  }
  if (w.op == op_addu || w.op == op_dsubu) {
    low_half(w.b, x86::rax);
  } else {
    load(x86::rax, w.b);
  }
  apply_register_operation(w.op, x86::rax, value(w.c, x86::rcx));
  if (to != x86::rax) a_.mov(to, x86::rax);
}

void BlockEmitter::apply_register_operation(uint8_t op, const x86::Gp& to, const x86::Gp& rt) {
  switch (op) {
    case op_add:
    case op_addu:
      a_.add(to, rt);
      break;
    case op_dsub:
    case op_dsubu:
      a_.sub(to, rt);
      break;
    case op_and:
      a_.and_(to, rt);
      break;
    case op_xor:
      a_.xor_(to, rt);
      break;
    default:  // OR, and NOR, its complement
      a_.or_(to, rt);
      if (op == op_nor) a_.not_(to);
      break;
  }
}

}  // namespace block_emission
