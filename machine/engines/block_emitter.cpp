#include "machine/engines/block_emitter.h"

#include "machine/engines/block_emission.h"
#include "machine/engines/fixed_translation.h"

namespace block_emission {

void BlockEmitter::emit() {
  const Label bail = a_.newLabel();
  if (uses_fpu()) emit_fpu_guard();
  a_.sub(kBudget, n_);
  a_.jl(bail);
  if (branch_loop_) a_.mov(context_.first_round(), kBudget);
  for (unsigned g = 1; g < 32; ++g) {
    if (cached_[g] >= 0 && !pinned(g)) a_.mov(kPool[cached_[g]], guest(g));
  }
  a_.bind(body_);
  uint32_t k = 0;
  for (; k < n_; ++k) {
    const DecodedWord& w = block_.words[k];
    if (is_branch(w.op)) {
      emit_branch(k);
      break;
    }
    if (is_delayed_jump(w.op)) {
      emit_delayed_jump(k);
      break;
    }
    if (is_jump(w.op)) {
      emit_jump(k);
      break;
    }
    emit_straight(k, k);
  }
  if (k == n_) leave_for(address(n_), n_ - 1);
  a_.bind(bail);
  a_.add(kBudget, n_);
  a_.mov(kPc, block_.pc);
  leave(JitExit::stopped);
  // A cold path may add one of its own.
  for (std::size_t i = 0; i < cold_.size(); ++i) {
    const std::function<void()> path = std::move(cold_[i]);
    path();
  }
}

// A register holding guest register `g`: its host register, or `scratch` loaded with it.
x86::Gp BlockEmitter::value(unsigned g, const x86::Gp& scratch) {
  if (cached(g)) return host(g);
  load(scratch, g);
  return scratch;
}

// Guest register `g` into `to`.
void BlockEmitter::load(const x86::Gp& to, unsigned g) {
  if (g == 0) {
    a_.xor_(to.r32(), to.r32());
  } else if (cached(g)) {
    if (host(g) != to) a_.mov(to, host(g));
  } else {
    a_.mov(to, guest(g));
  }
}

// The low half of guest register `g`, zero-extended into `scratch`.
void BlockEmitter::low_half(unsigned g, const x86::Gp& scratch) {
  if (g == 0) {
    a_.xor_(scratch.r32(), scratch.r32());
  } else if (cached(g)) {
    a_.mov(scratch.r32(), host(g).r32());
  } else {
    a_.mov(scratch.r32(), x86::dword_ptr(kCpu, static_cast<int32_t>(8 * g)));
  }
}

void BlockEmitter::set(unsigned g, const x86::Gp& from) {
  if (g == 0) return;
  if (static_cast<int>(g) == address_.base) address_ = {};
  if (cached(g)) {
    if (host(g) != from) a_.mov(host(g), from);
  } else {
    a_.mov(guest(g), from);
  }
}

void BlockEmitter::set_constant(unsigned g, uint64_t value) {
  if (g == 0) return;
  const auto low = static_cast<int32_t>(value);
  if (static_cast<int64_t>(value) != low) {
    a_.mov(x86::rcx, imm(value));
    set(g, x86::rcx);
    return;
  }
  if (static_cast<int>(g) == address_.base) address_ = {};
  if (cached(g)) {
    a_.mov(host(g), imm(low));
  } else {
    a_.mov(guest(g), imm(low));
  }
}

void BlockEmitter::store_cached(uint32_t ran) {
  for (unsigned g = 1; g < 32; ++g) {
    if (!cached(g) || !written_[g] || pinned(g)) continue;
    if (unextended_[g]) extend_for_machine(g, ran);
    a_.mov(guest(g), host(g));
  }
}

// Words that read no more than the low halves of their operands and sign-extend their results.
static bool is_word_arithmetic(uint8_t op) {
  return op == op_addiu32 || (op >= op_sll32 && op <= op_subu32);
}

void BlockEmitter::choose_unextended() {
  if (loops_to_itself(block_) && !branch_loop_) return;
  std::array<bool, 32> whole{};  // read by a word that uses more than the low half
  std::array<bool, 32> computed{};
  for (const DecodedWord& w : block_.words) {
    const uint8_t read = reads(w);
    if (is_word_arithmetic(w.op)) {
      computed[w.a] = true;
      continue;
    }
    // A store of a word or less takes the low half of its data.
    const bool narrow_store = w.op >= op_sb_checked && w.op <= op_sw_checked;
    if ((read & kA) && !narrow_store) whole[w.a] = true;
    if (read & kB) whole[w.b] = true;
    if (read & kC) whole[w.c] = true;
  }
  for (unsigned g = 1; g < 32; ++g) {
    unextended_[g] = cached(g) && !pinned(g) && computed[g] && !whole[g];
  }
}

std::optional<bool> BlockEmitter::last_write_unextended(unsigned g, uint32_t from,
                                                        uint32_t to) const {
  std::optional<bool> last;
  for (uint32_t k = from; k < to; ++k) {
    const DecodedWord& w = block_.words[k];
    if (writes_a(w) && w.a == g) last = is_word_arithmetic(w.op);
  }
  return last;
}

void BlockEmitter::extend_for_machine(unsigned g, uint32_t ran) {
  if (const std::optional<bool> last = last_write_unextended(g, 0, ran)) {
    if (*last) a_.movsxd(host(g), host(g).r32());
  } else if (branch_loop_ && last_write_unextended(g, ran, n_) == true) {
    // Left unextended in the time round before, if the block has been round.
    const Label first_round = a_.newLabel();
    a_.cmp(kBudget, context_.first_round());
    a_.jge(first_round);
    a_.movsxd(host(g), host(g).r32());
    a_.bind(first_round);
  }
}

void BlockEmitter::reload_clobbered() {
  for (unsigned g = 1; g < 32; ++g) {
    if (cached(g) && !host_calls::preserved(host(g))) a_.mov(host(g), guest(g));
  }
}

void BlockEmitter::leave(JitExit why) {
  a_.mov(context_.exit_kind(), static_cast<uint32_t>(why));
  a_.jmp(imm(tables_.leave));
}

// A block that loops round its own branch stores the branch's delay-slot address once, on the way
// out, and only when it has been round: the budget then stands below the first round's.
void BlockEmitter::leave_loop_slot_behind() {
  if (!branch_loop_) return;
  const Label first_round = a_.newLabel();
  a_.cmp(kBudget, context_.first_round());
  a_.jge(first_round);
  a_.mov(kDelaySlotPc, address(n_ - 1));
  a_.bind(first_round);
}

// Leaves before word `k` runs, giving back the words not run.
void BlockEmitter::side_exit(uint32_t k) {
  leave_loop_slot_behind();
  store_cached(k);
  a_.add(kBudget, n_ - k);
  a_.mov(kPc, address(k));
  if (k > 0) a_.mov(kLastWord, block_.words[k - 1].word);
  leave(JitExit::stopped);
}

// Leaves for `target` once word `last` has run: straight into its block when that is
// translated (the jump is patched then), round the block again for a loop, and back to the run
// loop when it may have to stop there.
void BlockEmitter::leave_for(uint32_t target, uint32_t last, std::optional<uint32_t> slot_pc) {
  if (target == block_.pc) {
    if (slot_pc) a_.mov(kDelaySlotPc, *slot_pc);
    const Label again = a_.newLabel();
    a_.sub(kBudget, n_);
    a_.jge(body_);
    a_.jmp(again);
    cold_.push_back([this, again, last] {
      a_.bind(again);
      a_.add(kBudget, n_);
      store_cached(last + 1);
      record_last_word(last, branch_loop_ ? std::optional(address(n_ - 1)) : std::nullopt,
                       x86::rax);
      a_.mov(kPc, block_.pc);
      leave(JitExit::stopped);
    });
    return;
  }
  hand_over(last, slot_pc);
  jump_to(target);
}

void BlockEmitter::hand_over(uint32_t last, std::optional<uint32_t> slot_pc) {
  leave_loop_slot_behind();
  store_cached(last + 1);
  record_last_word(last, slot_pc, x86::rax);
}

void BlockEmitter::record_last_word(uint32_t last, std::optional<uint32_t> slot_pc,
                                    const x86::Gp& scratch) {
  const uint32_t word = block_.words[last].word;
  if (!slot_pc) {
    a_.mov(kLastWord, word);
    return;
  }
  a_.mov(scratch, uint64_t{word} << 32 | *slot_pc);
  a_.mov(kSlotPcAndLastWord, scratch);
}

bool BlockEmitter::links_to(uint32_t target) const {
  return !may_stop_at(target) && (target & 3) == 0 && holds_code(fixed_physical(target));
}

void BlockEmitter::jump_to(uint32_t target) {
  if (!links_to(target)) {
    a_.mov(kPc, target);
    leave(JitExit::stopped);
    return;
  }
  const Label stub = a_.newLabel();
  const Label after = a_.newLabel();
  a_.long_().jmp(stub);
  a_.bind(after);
  link_stub(stub, after, target);
}

void BlockEmitter::link_stub(const Label& stub, const Label& after, uint32_t target) {
  cold_.push_back([this, stub, after, target] {
    a_.bind(stub);
    a_.mov(kPc, target);
    a_.lea(x86::rax, x86::ptr(after));
    a_.mov(context_.link_site(), x86::rax);
    leave(JitExit::link);
  });
}

void BlockEmitter::call_for(uint32_t target, uint32_t return_address, uint32_t last,
                            uint32_t slot_pc) {
  if (target == block_.pc || !links_to(target)) {
    leave_for(target, last, slot_pc);
    return;
  }
  hand_over(last, slot_pc);
  const Label too_deep = a_.newLabel();
  const Label stub = a_.newLabel();
  const Label after = a_.newLabel();
  a_.cmp(x86::rsp, context_.deepest_stack());
  a_.jbe(too_deep);
  a_.push(static_cast<int32_t>(return_address));
  a_.call(stub);
  a_.bind(after);
  // Back from the JR that returned here: its block has left everything stored.
  jump_to(return_address);
  link_stub(stub, after, target);
  cold_.push_back([this, too_deep, target] {
    a_.bind(too_deep);
    jump_to(target);
  });
}

}  // namespace block_emission

using namespace block_emission;

// Loading a register on entry and storing it on leaving costs more than a few accesses to it in
// memory save, unless the block loops round them. Register 0 is never one: it reads as 0 without
// being held anywhere.
std::array<int, 32> host_registers(const BlockSource& block) {
  std::array<int, 32> uses{};
  for (const DecodedWord& w : block.words) {
    const uint8_t read = reads(w);
    if (read & kB) ++uses[w.b];
    if (read & kC) ++uses[w.c];
    if (read & kA) ++uses[w.a];
    if (writes_a(w)) ++uses[w.a];
  }
  std::array<int, 32> kept;
  kept.fill(-1);
  for (std::size_t k = 0; k < kPinnedRegisters.size(); ++k)
    kept[kPinnedRegisters[k]] = kPooledPlaces + static_cast<int>(k);
  const int fewest = loops_to_itself(block) ? 1 : 4;
  for (int slot = 0; slot < kPooledPlaces; ++slot) {
    int best = 0;
    for (int g = 1; g < 32; ++g) {
      if (kept[g] < 0 && uses[g] >= fewest && (best == 0 || uses[g] > uses[best])) best = g;
    }
    if (best == 0) break;
    kept[best] = slot;
  }
  return kept;
}

bool emit_trampoline(x86::Assembler& a, const Label& leave, const JitContext& translators) {
  const std::optional<int32_t> from_cpu = Reach::from_cpu(&translators);
  if (!from_cpu) return false;
  const ContextFields context{*from_cpu};
  host_calls::emit_enter(a);
  a.mov(kCpu, host_calls::argument(0));
  a.mov(kBudget, host_calls::argument(1));
  for (std::size_t k = 0; k < kPinnedRegisters.size(); ++k)
    a.mov(kPool[kPooledPlaces + k], guest(kPinnedRegisters[k]));
  a.mov(context.entry_stack(), x86::rsp);
  a.push(kNoReturnAddress);
  a.push(kNoReturnAddress);
  a.lea(x86::rax, x86::ptr(x86::rsp, -16 * static_cast<int32_t>(kReturnFrames)));
  a.mov(context.deepest_stack(), x86::rax);
  a.jmp(host_calls::argument(2));
  a.bind(leave);
  for (std::size_t k = 0; k < kPinnedRegisters.size(); ++k)
    a.mov(guest(kPinnedRegisters[k]), kPool[kPooledPlaces + k]);
  a.mov(x86::rsp, context.entry_stack());
  a.mov(x86::rax, kBudget);
  host_calls::emit_leave(a);
  return true;
}

bool emit_block(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables) {
  static const std::optional<Reach> reach = Reach::find();
  const std::optional<int32_t> context = Reach::from_cpu(tables.context);
  if (!reach || !context) return false;
  BlockEmitter(a, block, tables, *reach, ContextFields{*context}).emit();
  return true;
}
