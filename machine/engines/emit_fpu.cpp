#include "cpu/r4300i/cop0.h"
#include "cpu/r4300i/fpu_values.h"
#include "cpu/r4300i/interpreter.h"
#include "machine/engines/block_emission.h"

namespace block_emission {

bool BlockEmitter::uses_fpu() const {
  return std::ranges::any_of(block_.words, [](const DecodedWord& w) { return is_fpu_word(w.op); });
}

// The FPU's instructions need CU1, and the block finds each register where Status's FR at its
// translation puts it. Neither changes while translated code runs (MTC0 and the exceptions leave
// it): a block entered with either otherwise leaves at once, for the others to run it.
void BlockEmitter::emit_fpu_guard() {
  const Label elsewhere = a_.newLabel();
  const uint32_t expected = r4300i::kStatusCU1 | (full_fpu_registers_ ? r4300i::kStatusFR : 0);
  a_.mov(x86::eax, cpu_field(offsetof(CpuState, cp0) + 8 * r4300i::kStatus, 4));
  a_.and_(x86::eax, r4300i::kStatusCU1 | r4300i::kStatusFR);
  a_.cmp(x86::eax, expected);
  a_.jne(elsewhere);
  cold_.push_back([this, elsewhere] {
    a_.bind(elsewhere);
    a_.mov(kPc, block_.pc);
    leave(JitExit::stopped);
  });
}

x86::Mem BlockEmitter::fpr(unsigned n, uint32_t size) const {
  // With FR clear an odd register's 32 bits are the high half of the even one below it.
  const unsigned half = !full_fpu_registers_ && size == 4 ? 4 * (n & 1) : 0;
  const unsigned index = full_fpu_registers_ ? n : n & ~1u;
  return cpu_field(offsetof(CpuState, fpr) + 8 * index + half, size);
}

x86::CondCode BlockEmitter::emit_fpu_condition(const DecodedWord& w) {
  a_.test(cpu_field(offsetof(CpuState, fcr31), 4), r4300i::fpu::kConditionBit);
  return w.op == op_bc1t || w.op == op_bc1tl ? x86::CondCode::kNE : x86::CondCode::kE;
}

// MFC1 and DMFC1 (the word sign-extended), MTC1 and DMTC1.
void BlockEmitter::emit_fpu_move(const DecodedWord& w) {
  const InstrFields f{w.word};
  const uint32_t size = f.rs() == 0 || f.rs() == 4 ? 4 : 8;
  const x86::Mem fs = fpr(f.rd(), size);
  if (f.rs() >= 4) {
    load(x86::rax, w.a);
    a_.mov(fs, size == 4 ? x86::Gp(x86::eax) : x86::Gp(x86::rax));
    return;
  }
  const x86::Gp to = result_for(w.a);
  if (size == 4) {
    a_.movsxd(to, fs);
  } else {
    a_.mov(to, fs);
  }
  set(w.a, to);
}

// A computing FPU word: its common cases in the block's own code, the rest through the
// interpreter's declining handler.
void BlockEmitter::emit_fpu_word(uint32_t k, uint32_t exit_before) {
  if (moves_between_register_files(block_.words[k])) {
    emit_fpu_move(block_.words[k]);
    return;
  }
  const Label slow = a_.newLabel();
  if (!emit_native_fpu(block_.words[k], slow)) {
    emit_fpu_call(k, exit_before);
    return;
  }
  const Label done = a_.newLabel();
  a_.bind(done);
  address_ = {};  // the call on the other way needs rdx
  cold_.push_back([this, slow, done, k, exit_before] {
    a_.bind(slow);
    emit_fpu_call(k, exit_before);
    a_.jmp(done);
  });
}

// Where the interpreter would raise an exception the block leaves before `exit_before`, with
// nothing changed, for the exact path to raise it. The registers the call may change that hold
// guest registers are kept on the stack, in pairs as the frame's alignment asks.
void BlockEmitter::emit_fpu_call(uint32_t k, uint32_t exit_before) {
  const Handler handler = r4300i::declining_fpu_handler(InstrFields{block_.words[k].word});
  std::vector<x86::Gp> kept;
  for (unsigned g = 1; g < 32; ++g) {
    if (cached(g) && !host_calls::preserved(host(g))) kept.push_back(host(g));
  }
  if (kept.size() % 2 != 0) kept.push_back(x86::r11);
  for (const x86::Gp& reg : kept) a_.push(reg);
  a_.mov(host_calls::argument(0).r32(), block_.words[k].word);
  a_.mov(x86::rax, imm(reinterpret_cast<uint64_t>(handler)));
  host_calls::emit_call(a_, x86::rax);
  for (auto reg = kept.rbegin(); reg != kept.rend(); ++reg) a_.pop(*reg);
  address_ = {};
  const Label declined = a_.newLabel();
  a_.test(x86::eax, x86::eax);
  a_.jnz(declined);
  cold_.push_back([this, declined, exit_before] {
    a_.bind(declined);
    side_exit(exit_before);
  });
}

}  // namespace block_emission
