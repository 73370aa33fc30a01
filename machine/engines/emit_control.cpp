#include "machine/engines/block_emission.h"

namespace block_emission {

// How a branch decides: the condition on which it is taken, after comparing rs with rt or 0.
x86::CondCode BlockEmitter::emit_comparison_of(const DecodedWord& w) {
  if (is_fpu_branch(w.op)) return emit_fpu_condition(w);
  const x86::Gp rs = value(w.b, x86::rax);
  if ((operation(w.op).reads & kC) && w.c != 0) {
    a_.cmp(rs, value(w.c, x86::rcx));
  } else {
    a_.test(rs, rs);
  }
  switch (w.op) {
    case op_beq:
    case op_beq_delayed:
    case op_beql:
      return x86::CondCode::kE;
    case op_bne:
    case op_bne_delayed:
    case op_bnel:
      return x86::CondCode::kNE;
    case op_blez:
    case op_blezl:
      return x86::CondCode::kLE;
    case op_bgtz:
    case op_bgtzl:
      return x86::CondCode::kG;
    case op_bltz:
    case op_bltzl:
      return x86::CondCode::kL;
    default:  // BGEZ, BGEZL
      return x86::CondCode::kGE;
  }
}

// A branch and its delay slot, which is the block's last word. The slot runs either way (but for
// a likely branch, which skips it when not taken): as the delay slot when the branch is taken, as
// the next word (0.2c) or the delay slot (the complete model) when it is not. A slot that leaves
// what the branch compares alone, and cannot leave after it has run, runs first, and the
// comparison then decides the way at once; any other slot runs between the comparison and the
// decision, which it keeps in memory meanwhile.
void BlockEmitter::emit_branch(uint32_t k) {
  const DecodedWord& w = block_.words[k];
  const DecodedWord& slot = block_.words[k + 1];
  const Kind kind = operation(w.op).kind;
  const Label not_taken = a_.newLabel();
  if (kind == Kind::likely_branch) {
    a_.j(x86::negateCond(emit_comparison_of(w)), not_taken);
    emit_straight(k + 1, k);
  } else {
    const bool compares_c = (operation(w.op).reads & kC) != 0;
    // An FPU word may change the condition BC1F and BC1T test.
    const bool slot_first =
        !operation(slot.op).stores &&
        !(writes_a(slot) && slot.a != 0 && (slot.a == w.b || (compares_c && slot.a == w.c))) &&
        !(is_fpu_branch(w.op) && slot.op == op_fpu);
    if (slot_first) {
      emit_straight(k + 1, k);
      a_.j(x86::negateCond(emit_comparison_of(w)), not_taken);
    } else {
      a_.set(emit_comparison_of(w), context_.taken());
      emit_straight(k + 1, k);
      a_.cmp(context_.taken(), 0);
      a_.je(not_taken);
    }
  }
  // A loop's own branch leaves its slot's address behind only on the way out.
  leave_for(branch_target(k), k + 1, branch_loop_ ? std::nullopt : std::optional(address(k) + 4));
  a_.bind(not_taken);
  if (kind == Kind::likely_branch) {
    a_.add(kBudget, 1);  // the slot, which did not run
    leave_for(address(k) + 8, k);
    return;
  }
  leave_for(address(k) + 8, k + 1,
            kind == Kind::delayed_branch ? std::optional(address(k) + 4) : std::nullopt);
}

// 0.2c's jumps, which take effect at once.
void BlockEmitter::emit_jump(uint32_t k) {
  const DecodedWord& w = block_.words[k];
  if (w.op == op_jal) set_constant(31, alu::jal_link(address(k)));
  if (w.op != op_jr) {
    leave_for(field_jump_target(address(k), w), k);
    return;
  }
  low_half(w.b, x86::rax);
  jump_through_eax(k, true);
}

// The complete model's jumps, the block's last word but their delay slot. A jump through a
// register to a target on or next to a stop address leaves before it, for the exact path to
// take it and stop where it must.
void BlockEmitter::emit_delayed_jump(uint32_t k) {
  const DecodedWord& w = block_.words[k];
  const bool through_register = (operation(w.op).reads & kB) != 0;
  if (through_register) {
    const Label stops = a_.newLabel();
    low_half(w.b, x86::rax);
    a_.lea(x86::ecx, x86::ptr(x86::rax, -static_cast<int32_t>(kStopAddress)));
    a_.cmp(x86::ecx, kStopSpan + 4);
    a_.jbe(stops);
    if (slot_changes_target(k)) a_.mov(context_.jump_target(), x86::eax);
    cold_.push_back([this, stops, k] {
      a_.bind(stops);
      side_exit(k);
    });
  }
  if (operation(w.op).writes_a) set_constant(w.a, ca::link(address(k)));
  // A slot that leaves gives the jump back too: its link, written again, is the same.
  emit_straight(k + 1, k);
  const uint32_t slot_pc = address(k) + 4;
  if (!through_register) {
    const uint32_t target = field_jump_target(address(k), w);
    if (operation(w.op).writes_a) {
      call_for(target, address(k) + 8, k + 1, slot_pc);
    } else {
      leave_for(target, k + 1, slot_pc);
    }
    return;
  }
  load_jump_target(k);
  jump_through_eax(k + 1, false, slot_pc);
}

bool BlockEmitter::slot_changes_target(uint32_t k) const {
  const DecodedWord& slot = block_.words[k + 1];
  return writes_a(slot) && slot.a == block_.words[k].b;
}

void BlockEmitter::load_jump_target(uint32_t k) {
  const DecodedWord& w = block_.words[k];
  if (jumps_to_field(w.op)) {
    a_.mov(x86::eax, field_jump_target(address(k), w));
  } else if (slot_changes_target(k)) {
    a_.mov(x86::eax, context_.jump_target());
  } else {
    low_half(w.b, x86::rax);
  }
}

void BlockEmitter::jump_through_eax(uint32_t last, bool may_stop, std::optional<uint32_t> slot_pc) {
  const Label miss = a_.newLabel();
  const Label stop = a_.newLabel();
  store_cached(last + 1);
  record_last_word(last, slot_pc, x86::rcx);
  if (may_stop) {
    // may_stop_at, in host code.
    a_.lea(x86::ecx, x86::ptr(x86::rax, -static_cast<int32_t>(kStopAddress)));
    a_.cmp(x86::ecx, kStopSpan);
    a_.jbe(stop);
  }
  if (!may_stop) {
    // The complete model's: a return to a JAL's block that pushed the target, which is a word's
    // address.
    const Label not_framed = a_.newLabel();
    a_.cmp(kFramedReturn, x86::eax);
    a_.jne(not_framed);
    a_.ret(8);
    a_.bind(not_framed);
  }
  a_.test(x86::al, 3);
  a_.jnz(stop);
  // The entry of the word at eax, 16 bytes, as four times the word's address within the table.
  static_assert(sizeof(JrEntry) == 16);
  a_.mov(x86::ecx, x86::eax);
  a_.and_(x86::ecx, (kJrEntries - 1) << 2);
  a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(tables_.jr_table)));
  a_.cmp(x86::dword_ptr(x86::rdx, x86::rcx, 2), x86::eax);
  a_.jne(miss);
  a_.jmp(x86::qword_ptr(x86::rdx, x86::rcx, 2, 8));
  a_.bind(miss);
  a_.mov(kPc, x86::eax);
  leave(JitExit::dispatch);
  a_.bind(stop);
  a_.mov(kPc, x86::eax);
  leave(JitExit::stopped);
}

}  // namespace block_emission
