#include "machine/block_emitter.h"

#include <array>
#include <cstddef>
#include <functional>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/host_calls.h"
#include "memory/memory_map.h"

namespace x86 = asmjit::x86;
using asmjit::imm;
using asmjit::Label;

namespace {

const x86::Gp kCpu = x86::rbx;
const x86::Gp kContext = x86::rbp;
const x86::Gp kBudget = x86::r12;
// Host registers that hold guest registers, those that calls preserve everywhere first.
const std::array<x86::Gp, 8> kPool = {x86::r13, x86::r14, x86::r15, x86::rsi,
                                      x86::rdi, x86::r8,  x86::r9,  x86::r10};

static_assert(offsetof(CpuState, gpr) == 0);

x86::Mem cpu_field(std::size_t offset, uint32_t size) {
  return x86::ptr(kCpu, static_cast<int32_t>(offset), size);
}
x86::Mem guest(unsigned n) {
  return x86::qword_ptr(kCpu, static_cast<int32_t>(8 * n));
}
x86::Mem context_field(std::size_t offset, uint32_t size) {
  return x86::ptr(kContext, static_cast<int32_t>(offset), size);
}
const x86::Mem kPc = cpu_field(offsetof(CpuState, pc), 4);
const x86::Mem kDelaySlotPc = cpu_field(offsetof(CpuState, delay_slot_pc), 4);
const x86::Mem kLastWord = context_field(offsetof(JitContext, last_word), 4);
const x86::Mem kExitKind = context_field(offsetof(JitContext, exit), 4);
const x86::Mem kLinkSite = context_field(offsetof(JitContext, link_site), 8);
// The taken flag of a branch, kept while its delay slot runs.
const x86::Mem kTaken = host_calls::frame_byte(0);

bool is_branch(uint8_t op) {
  return op == op_beq || op == op_bne;
}
bool is_jump(uint8_t op) {
  return op == op_j || op == op_jal || op == op_jr;
}
// Which of a word's register fields it reads: `b` (rs) and `c` (rt); SW reads `a`.
bool reads_b(uint8_t op) {
  switch (op) {
    case op_nop:
    case op_lui:
    case op_sll:
    case op_dsra32:
    case op_mfhi:
    case op_mflo:
    case op_j:
    case op_jal:
      return false;
    default:
      return true;
  }
}

bool reads_c(uint8_t op) {
  return op == op_sll || op == op_sllv || op == op_srav || op == op_dsra32 ||
         (op >= op_add && op <= op_sltu) || is_branch(op);
}

// A jump may land on a stop address: the run loop must look there.
bool may_stop(uint32_t target) {
  return target - kStopAddress <= kBreakpointAddress - kStopAddress;
}

class BlockEmitter {
 public:
  BlockEmitter(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables)
      : a_(a), block_(block), tables_(tables), n_(static_cast<uint32_t>(block.words.size())) {
    choose_cached_registers();
  }

  void emit() {
    const Label bail = a_.newLabel();
    a_.sub(kBudget, n_);
    a_.jl(bail);
    for (unsigned g = 1; g < 32; ++g) {
      if (cached_[g] >= 0) a_.mov(kPool[cached_[g]], guest(g));
    }
    a_.bind(body_);
    uint32_t k = 0;
    for (; k < n_; ++k) {
      const DecodedWord& w = block_.words[k];
      if (is_branch(w.op)) {
        emit_branch(k);
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
    for (auto& path : cold_) path();
  }

 private:
  uint32_t address(uint32_t k) const { return block_.pc + 4 * k; }

  // Whether the block's jump or taken branch goes back to its own start.
  bool loops_to_itself() const {
    for (uint32_t k = 0; k < n_; ++k) {
      const DecodedWord& w = block_.words[k];
      if ((w.op == op_j || w.op == op_jal) && alu::jump_target(w.imm) == block_.pc) return true;
      if (is_branch(w.op) && branch_target(k) == block_.pc) return true;
    }
    return false;
  }

  // The guest registers the block uses most, in host registers while it runs.
  void choose_cached_registers() {
    std::array<int, 32> uses{};
    for (const DecodedWord& w : block_.words) {
      if (reads_b(w.op)) ++uses[w.b];
      if (reads_c(w.op)) ++uses[w.c];
      if (w.op == op_sw) ++uses[w.a];
      if (writes_a(w.op)) {
        ++uses[w.a];
        written_[w.a] = true;
      }
    }
    if (!block_.words.empty() && block_.words.back().op == op_jal) {
      ++uses[31];
      written_[31] = true;
    }
    // Loading a register on entry and storing it on leaving costs more than a few accesses to it
    // in memory save, unless the block loops round them.
    const bool loops = loops_to_itself();
    for (std::size_t slot = 0; slot < kPool.size(); ++slot) {
      int best = 0;
      for (int g = 1; g < 32; ++g) {
        if (cached_[g] < 0 && uses[g] > uses[best]) best = g;
      }
      if (best == 0 || (!loops && uses[best] < 4)) break;
      cached_[best] = static_cast<int>(slot);
    }
  }

  // A register holding guest register `g`: its host register, or `scratch` loaded with it.
  x86::Gp value(unsigned g, const x86::Gp& scratch) {
    if (g == 0) {
      a_.xor_(scratch.r32(), scratch.r32());
      return scratch;
    }
    if (cached_[g] >= 0) return kPool[cached_[g]];
    a_.mov(scratch, guest(g));
    return scratch;
  }

  // The low half of guest register `g`, zero-extended into `scratch`.
  void low_half(unsigned g, const x86::Gp& scratch) {
    if (g == 0) {
      a_.xor_(scratch.r32(), scratch.r32());
    } else if (cached_[g] >= 0) {
      a_.mov(scratch.r32(), kPool[cached_[g]].r32());
    } else {
      a_.mov(scratch.r32(), x86::dword_ptr(kCpu, static_cast<int32_t>(8 * g)));
    }
  }

  void set(unsigned g, const x86::Gp& from) {
    if (cached_[g] >= 0) {
      a_.mov(kPool[cached_[g]], from);
    } else {
      a_.mov(guest(g), from);
    }
  }

  void store_cached() {
    for (unsigned g = 1; g < 32; ++g) {
      if (cached_[g] >= 0 && written_[g]) a_.mov(guest(g), kPool[cached_[g]]);
    }
  }

  void reload_clobbered() {
    for (unsigned g = 1; g < 32; ++g) {
      if (cached_[g] >= 0 && !host_calls::preserved(kPool[cached_[g]])) {
        a_.mov(kPool[cached_[g]], guest(g));
      }
    }
  }

  void leave(JitExit why) {
    a_.mov(kExitKind, static_cast<uint32_t>(why));
    a_.jmp(imm(tables_.leave));
  }

  // Leaves before word `k` runs, giving back the words not run.
  void side_exit(uint32_t k) {
    store_cached();
    a_.add(kBudget, n_ - k);
    a_.mov(kPc, address(k));
    if (k > 0) a_.mov(kLastWord, block_.words[k - 1].word);
    leave(JitExit::stopped);
  }

  // Leaves for `target` once word `last` has run: straight into its block when that is
  // translated (the jump is patched then), round the block again for a loop, and back to the run
  // loop when it may have to stop there.
  void leave_for(uint32_t target, uint32_t last) {
    if (target == block_.pc) {
      const Label again = a_.newLabel();
      a_.sub(kBudget, n_);
      a_.jl(again);
      a_.jmp(body_);
      cold_.push_back([this, again, last] {
        a_.bind(again);
        a_.add(kBudget, n_);
        store_cached();
        a_.mov(kLastWord, block_.words[last].word);
        a_.mov(kPc, block_.pc);
        leave(JitExit::stopped);
      });
      return;
    }
    store_cached();
    a_.mov(kLastWord, block_.words[last].word);
    if (may_stop(target) || (target & 3) != 0 || !holds_code(translate_address(target))) {
      a_.mov(kPc, target);
      leave(JitExit::stopped);
      return;
    }
    const Label stub = a_.newLabel();
    const Label after = a_.newLabel();
    a_.long_().jmp(stub);
    a_.bind(after);
    cold_.push_back([this, stub, after, target] {
      a_.bind(stub);
      a_.mov(kPc, target);
      a_.lea(x86::rax, x86::ptr(after));
      a_.mov(kLinkSite, x86::rax);
      leave(JitExit::link);
    });
  }

  void emit_straight(uint32_t k, uint32_t exit_before) {
    const DecodedWord& w = block_.words[k];
    const x86::Gp rax = x86::rax;
    const x86::Gp rcx = x86::rcx;
    switch (w.op) {
      case op_nop:
        return;
      case op_addi:
        a_.mov(rax, value(w.b, rax));
        a_.add(rax, static_cast<int32_t>(static_cast<int16_t>(w.imm)));
        break;
      case op_andi:
        a_.mov(rax, value(w.b, rax));
        a_.and_(rax, w.imm);
        break;
      case op_ori:
        a_.mov(rax, value(w.b, rax));
        a_.or_(rax, w.imm);
        break;
      case op_lui:
        a_.mov(x86::eax, static_cast<uint32_t>(alu::lui(static_cast<uint16_t>(w.imm))));
        break;
      case op_sll:
        a_.mov(rax, value(w.c, rax));
        if (w.imm != 0) a_.shl(rax, w.imm);
        break;
      case op_dsra32:
        a_.mov(rax, value(w.c, rax));
        a_.sar(rax, w.imm + 32);
        break;
      case op_sllv: {
        const Label done = a_.newLabel();
        low_half(w.b, rcx);
        a_.and_(x86::ecx, 0xFF);
        a_.mov(rax, value(w.c, rax));
        a_.shl(rax, x86::cl);
        a_.cmp(x86::ecx, 64);
        a_.jb(done);
        a_.xor_(x86::eax, x86::eax);
        a_.bind(done);
        break;
      }
      case op_srav:
        low_half(w.b, rcx);
        a_.and_(x86::ecx, 0xFF);
        a_.mov(x86::edx, 63);
        a_.cmp(x86::ecx, 63);
        a_.cmova(x86::ecx, x86::edx);
        a_.mov(rax, value(w.c, rax));
        a_.sar(rax, x86::cl);
        break;
      case op_mfhi:
        a_.mov(rax, cpu_field(offsetof(CpuState, hi_reg), 8));
        break;
      case op_mflo:
        a_.mov(rax, cpu_field(offsetof(CpuState, lo_reg), 8));
        break;
      case op_mthi:
        a_.mov(cpu_field(offsetof(CpuState, hi_reg), 8), value(w.b, rax));
        return;
      case op_mtlo:
        a_.mov(cpu_field(offsetof(CpuState, lo_reg), 8), value(w.b, rax));
        return;
      case op_add:
      case op_addu:
      case op_dsub:
      case op_dsubu:
      case op_and:
      case op_or:
      case op_xor:
      case op_nor:
        emit_register_arithmetic(w);
        break;
      case op_slt:
        a_.mov(rax, value(w.b, rax));
        a_.cmp(rax, value(w.c, rcx));
        a_.setl(x86::al);
        a_.movzx(x86::eax, x86::al);
        break;
      case op_sltu:
        low_half(w.b, rax);
        low_half(w.c, rcx);
        a_.cmp(x86::eax, x86::ecx);
        a_.setb(x86::al);
        a_.movzx(x86::eax, x86::al);
        break;
      default:
        emit_memory(k, exit_before);
        if (w.op == op_sw) return;
        break;
    }
    set(w.a, rax);
  }

  // The three-register operations: rax = rs (its low half for ADDU and DSUBU) op rt.
  void emit_register_arithmetic(const DecodedWord& w) {
    if (w.op == op_addu || w.op == op_dsubu) {
      low_half(w.b, x86::rax);
    } else {
      a_.mov(x86::rax, value(w.b, x86::rax));
    }
    const x86::Gp rt = value(w.c, x86::rcx);
    switch (w.op) {
      case op_add:
      case op_addu:
        a_.add(x86::rax, rt);
        break;
      case op_dsub:
      case op_dsubu:
        a_.sub(x86::rax, rt);
        break;
      case op_and:
        a_.and_(x86::rax, rt);
        break;
      case op_xor:
        a_.xor_(x86::rax, rt);
        break;
      default:  // OR, and NOR, its complement
        a_.or_(x86::rax, rt);
        if (w.op == op_nor) a_.not_(x86::rax);
        break;
    }
  }

  // A load or store. Its bytes must lie in RDRAM or one of the SP memories, a store's within one
  // page; otherwise the block leaves before `exit_before` for the exact path to make the access.
  void emit_memory(uint32_t k, uint32_t exit_before) {
    const DecodedWord& w = block_.words[k];
    const bool store = w.op == op_sw;
    const uint32_t size = access_size(w.op);
    const Label not_kseg = a_.newLabel();
    const Label elsewhere = a_.newLabel();
    const Label access = a_.newLabel();
    const Label refused = a_.newLabel();
    low_half(w.b, x86::rax);
    a_.add(x86::eax, w.imm);
    // KSEG0 and KSEG1: 0x80000000-0xBFFFFFFF, the low 29 bits physical.
    a_.lea(x86::ecx, x86::ptr(x86::rax, INT32_MIN));
    a_.cmp(x86::ecx, 0x40000000);
    a_.jae(not_kseg);
    a_.and_(x86::eax, 0x1FFFFFFF);
    a_.bind(not_kseg);
    a_.cmp(x86::eax, 0x00400000 - size);
    a_.ja(elsewhere);
    if (store) {
      // A word across two pages of RDRAM is left to the exact path.
      a_.lea(x86::r11d, x86::ptr(x86::rax, 3));
      a_.xor_(x86::r11d, x86::eax);
      a_.cmp(x86::r11d, 0xFFF);
      a_.ja(refused);
      a_.mov(x86::ecx, x86::eax);
      a_.shr(x86::ecx, 12);
    }
    a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(memory.rdram)));
    a_.bind(access);
    switch (w.op) {
      case op_lb:
        a_.movsx(x86::rax, x86::byte_ptr(x86::rdx, x86::rax));
        break;
      case op_lbu:
        a_.movzx(x86::eax, x86::byte_ptr(x86::rdx, x86::rax));
        break;
      case op_lw:
        a_.mov(x86::eax, x86::dword_ptr(x86::rdx, x86::rax));
        a_.bswap(x86::eax);
        a_.movsxd(x86::rax, x86::eax);
        break;
      case op_ld:
        a_.mov(x86::rax, x86::qword_ptr(x86::rdx, x86::rax));
        a_.bswap(x86::rax);
        break;
      default:
        low_half(w.a, x86::r11);
        a_.bswap(x86::r11d);
        a_.mov(x86::dword_ptr(x86::rdx, x86::rax), x86::r11d);
        emit_store_marks(k);
        break;
    }
    // SP DMEM and SP IMEM, one page each, after one another from 0x04000000.
    cold_.push_back([this, elsewhere, access, refused, size, store, exit_before] {
      a_.bind(elsewhere);
      a_.lea(x86::ecx, x86::ptr(x86::rax, -0x04000000));
      for (int page : {1024, 1025}) {
        const Label next = a_.newLabel();
        a_.cmp(x86::ecx, 0x1000 - size);
        a_.ja(next);
        a_.mov(x86::eax, x86::ecx);
        a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(code_page_storage(page))));
        if (store) a_.mov(x86::ecx, page);
        a_.jmp(access);
        a_.bind(next);
        a_.sub(x86::ecx, 0x1000);
      }
      a_.bind(refused);
      side_exit(exit_before);
    });
  }

  // After a store: its page is marked written, and where decoded or translated words may stand
  // the engines drop the copies of the stored bytes; when translated blocks went, this block,
  // which may be one of them, leaves.
  void emit_store_marks(uint32_t k) {
    const Label hit = a_.newLabel();
    const Label resume = a_.newLabel();
    a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(code_page_written)));
    a_.mov(x86::byte_ptr(x86::rdx, x86::rcx), 1);
    a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(tables_.copied_pages)));
    a_.cmp(x86::byte_ptr(x86::rdx, x86::rcx), 0);
    a_.jne(hit);
    a_.bind(resume);
    cold_.push_back([this, hit, resume, k] {
      const Label dropped = a_.newLabel();
      a_.bind(hit);
      store_cached();
      a_.mov(host_calls::argument(0).r32(), x86::ecx);
      a_.mov(host_calls::argument(1).r32(), x86::eax);
      a_.mov(x86::rax, imm(reinterpret_cast<uint64_t>(tables_.store_hook)));
      a_.call(x86::rax);
      a_.test(x86::eax, x86::eax);
      a_.jnz(dropped);
      reload_clobbered();
      a_.jmp(resume);
      a_.bind(dropped);
      leave_after_store(k);
    });
  }

  // Leaves once the store at `k` has run, with everything stored already.
  void leave_after_store(uint32_t k) {
    const bool slot = k > 0 && is_branch(block_.words[k - 1].op);
    if (slot) {
      const uint32_t branch = address(k - 1);
      const Label not_taken = a_.newLabel();
      const Label done = a_.newLabel();
      a_.cmp(kTaken, 0);
      a_.je(not_taken);
      a_.mov(kDelaySlotPc, branch + 4);
      a_.mov(kPc, branch_target(k - 1));
      a_.jmp(done);
      a_.bind(not_taken);
      a_.mov(kPc, branch + 8);
      a_.bind(done);
    } else {
      a_.mov(kPc, address(k + 1));
      a_.add(kBudget, n_ - k - 1);
    }
    a_.mov(kLastWord, block_.words[k].word);
    leave(JitExit::stopped);
  }

  uint32_t branch_target(uint32_t k) const {
    return alu::branch_continuation(address(k), static_cast<uint16_t>(block_.words[k].imm)) + 4;
  }

  // A branch and its delay slot, which is the block's last word. The slot runs either way: as the
  // delay slot when the branch is taken, as the next word when it is not.
  void emit_branch(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    const Label not_taken = a_.newLabel();
    a_.mov(x86::rax, value(w.b, x86::rax));
    a_.cmp(x86::rax, value(w.c, x86::rcx));
    if (w.op == op_beq) {
      a_.sete(kTaken);
    } else {
      a_.setne(kTaken);
    }
    emit_straight(k + 1, k);
    a_.cmp(kTaken, 0);
    a_.je(not_taken);
    a_.mov(kDelaySlotPc, address(k) + 4);
    leave_for(branch_target(k), k + 1);
    a_.bind(not_taken);
    leave_for(address(k) + 8, k + 1);
  }

  void emit_jump(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    if (w.op == op_jal) {
      a_.mov(x86::rax, imm(alu::jal_link(address(k))));
      set(31, x86::rax);
    }
    if (w.op != op_jr) {
      leave_for(alu::jump_target(w.imm), k);
      return;
    }
    // JR: through the lookup table when it holds the target, unless that may be a stop address
    // or is not a word's.
    const Label miss = a_.newLabel();
    const Label stop = a_.newLabel();
    low_half(w.b, x86::rax);
    store_cached();
    a_.mov(kLastWord, w.word);
    a_.mov(kPc, x86::eax);
    a_.lea(x86::ecx, x86::ptr(x86::rax, -static_cast<int32_t>(kStopAddress)));
    a_.cmp(x86::ecx, kBreakpointAddress - kStopAddress);
    a_.jbe(stop);
    a_.test(x86::al, 3);
    a_.jnz(stop);
    a_.mov(x86::ecx, x86::eax);
    a_.shr(x86::ecx, 2);
    a_.and_(x86::ecx, kJrEntries - 1);
    a_.shl(x86::ecx, 4);
    a_.mov(x86::rdx, imm(reinterpret_cast<uint64_t>(tables_.jr_table)));
    a_.add(x86::rdx, x86::rcx);
    a_.cmp(x86::dword_ptr(x86::rdx), x86::eax);
    a_.jne(miss);
    a_.jmp(x86::qword_ptr(x86::rdx, 8));
    a_.bind(miss);
    leave(JitExit::dispatch);
    a_.bind(stop);
    leave(JitExit::stopped);
  }

  x86::Assembler& a_;
  const BlockSource& block_;
  const EmitterTables& tables_;
  const uint32_t n_;
  const Label body_ = a_.newLabel();
  std::array<int, 32> cached_ = [] {
    std::array<int, 32> none;
    none.fill(-1);
    return none;
  }();
  std::array<bool, 32> written_{};
  std::vector<std::function<void()>> cold_;  // out-of-line paths, emitted after the block
};

}  // namespace

void emit_trampoline(x86::Assembler& a, const Label& leave) {
  host_calls::emit_enter(a);
  a.mov(kCpu, host_calls::argument(0));
  a.mov(kContext, host_calls::argument(1));
  a.mov(kBudget, host_calls::argument(2));
  a.jmp(host_calls::argument(3));
  a.bind(leave);
  a.mov(x86::rax, kBudget);
  host_calls::emit_leave(a);
}

void emit_block(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables) {
  BlockEmitter(a, block, tables).emit();
}
