#include "machine/engines/block_emitter.h"

#include <array>
#include <cstddef>
#include <functional>
#include <limits>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/alu.h"
#include "machine/engines/copied_words.h"
#include "machine/engines/host_calls.h"
#include "machine/stops/stops.h"
#include "memory/memory_map.h"

namespace x86 = asmjit::x86;
using asmjit::imm;
using asmjit::Label;
namespace ca = r4300i::alu;

namespace {

const x86::Gp kCpu = x86::rbx;
const x86::Gp kContext = x86::rbp;
const x86::Gp kBudget = x86::r12;
// Host registers that hold guest registers, those that calls preserve everywhere first.
const std::array<x86::Gp, 8> kPool = {x86::r13, x86::r14, x86::r15, x86::rsi,
                                      x86::rdi, x86::r8,  x86::r9,  x86::r10};

static_assert(offsetof(CpuState, gpr) == 0);

// What a virtual address's top three bits subtract to make it physical: KSEG0 and KSEG1 map onto
// the physical addresses below 0x20000000, and every other address is physical as it stands.
alignas(32) constexpr uint32_t kSegmentBase[8] = {0, 0, 0, 0, 0x80000000, 0xA0000000, 0, 0};
static_assert(translate_address(0x803FFFFC) == 0x803FFFFC - kSegmentBase[4] &&
              translate_address(0xA0000010) == 0xA0000010 - kSegmentBase[5]);

// The SP memories follow RDRAM in storage, and each other: an access from one into the other is
// one host access, as the byte-wise one would read the same bytes.
constexpr uint32_t kSpFromRdram = offsetof(MemoryStorage, sp_dmem) - offsetof(MemoryStorage, rdram);

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
const x86::Mem kSavedAddress = context_field(offsetof(JitContext, saved_address), 8);
const x86::Mem kFirstRound = context_field(offsetof(JitContext, first_round_budget), 8);
// The taken flag of a branch whose delay slot may change what it compared, kept while the slot
// runs, and the target of a jump through a register, kept while its slot runs.
const x86::Mem kTaken = host_calls::frame_byte(0);
const x86::Mem kJumpTarget = [] {
  x86::Mem target = host_calls::frame_byte(4);
  target.setSize(4);
  return target;
}();

// The program's data that translated code reaches, as displacements from `cpu` (rbx): they all lie
// in one image, so a 32-bit displacement reaches them and no host address needs a register.
struct Reach {
  int32_t rdram;
  int32_t written;  // code_page_written
  int32_t copied;   // code_page_copied
  int32_t words;    // code_word_copied
  int32_t segments;
  int32_t watched;  // the pages holding a watched byte

  static std::optional<Reach> find() {
    auto from_cpu = [](const void* data) -> std::optional<int32_t> {
      const std::ptrdiff_t distance =
          static_cast<const uint8_t*>(data) - reinterpret_cast<const uint8_t*>(&cpu);
      if (distance < std::numeric_limits<int32_t>::min() / 2 ||
          distance > std::numeric_limits<int32_t>::max() / 2) {
        return std::nullopt;
      }
      return static_cast<int32_t>(distance);
    };
    auto rdram = from_cpu(memory.rdram);
    auto written = from_cpu(code_page_written);
    auto copied = from_cpu(code_page_copied);
    auto words = from_cpu(code_word_copied);
    auto segments = from_cpu(kSegmentBase);
    auto watched = from_cpu(watchpoints.page_marks());
    if (!rdram || !written || !copied || !words || !segments || !watched) return std::nullopt;
    return Reach{*rdram, *written, *copied, *words, *segments, *watched};
  }
};

uint32_t branch_target(const BlockSource& block, uint32_t k) {
  return alu::branch_continuation(block.pc + 4 * k, static_cast<uint16_t>(block.words[k].imm)) + 4;
}

// Whether the block's jump or taken branch goes back to its own start.
bool loops_to_itself(const BlockSource& block) {
  for (uint32_t k = 0; k < block.words.size(); ++k) {
    const DecodedWord& w = block.words[k];
    if (jumps_to_field(w.op) && field_jump_target(block.pc + 4 * k, w) == block.pc) return true;
    if (is_branch(w.op) && branch_target(block, k) == block.pc) return true;
  }
  return false;
}

class BlockEmitter {
 public:
  BlockEmitter(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables,
               const Reach& reach)
      : a_(a),
        block_(block),
        tables_(tables),
        reach_(reach),
        n_(static_cast<uint32_t>(block.words.size())),
        branch_loop_(n_ >= 2 && is_branch(block.words[n_ - 2].op) &&
                     branch_target(n_ - 2) == block.pc) {
    const std::array<int, 32> kept = host_registers(block);
    for (unsigned g = 0; g < 32; ++g) {
      if (kept[g] >= 0) cached_[g] = kept[g];
    }
    for (const DecodedWord& w : block.words) {
      if (operation(w.op).writes_a) written_[w.a] = true;
    }
  }

  void emit() {
    const Label bail = a_.newLabel();
    a_.sub(kBudget, n_);
    a_.jl(bail);
    if (branch_loop_) a_.mov(kFirstRound, kBudget);
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

 private:
  uint32_t address(uint32_t k) const { return block_.pc + 4 * k; }

  uint32_t branch_target(uint32_t k) const { return ::branch_target(block_, k); }

  bool cached(unsigned g) const { return g != 0 && cached_[g] >= 0; }
  const x86::Gp& host(unsigned g) const { return kPool[cached_[g]]; }

  // A register holding guest register `g`: its host register, or `scratch` loaded with it.
  x86::Gp value(unsigned g, const x86::Gp& scratch) {
    if (cached(g)) return host(g);
    load(scratch, g);
    return scratch;
  }

  // Guest register `g` into `to`.
  void load(const x86::Gp& to, unsigned g) {
    if (g == 0) {
      a_.xor_(to.r32(), to.r32());
    } else if (cached(g)) {
      if (host(g) != to) a_.mov(to, host(g));
    } else {
      a_.mov(to, guest(g));
    }
  }

  // The low half of guest register `g`, zero-extended into `scratch`.
  void low_half(unsigned g, const x86::Gp& scratch) {
    if (g == 0) {
      a_.xor_(scratch.r32(), scratch.r32());
    } else if (cached(g)) {
      a_.mov(scratch.r32(), host(g).r32());
    } else {
      a_.mov(scratch.r32(), x86::dword_ptr(kCpu, static_cast<int32_t>(8 * g)));
    }
  }

  // Where an operation writing guest register `g` leaves its result: its host register, or rax,
  // which `set` then stores. Register 0 keeps its 0: only a shift of register 0 itself (a NOP)
  // writes it on this path, and that writes 0.
  x86::Gp result_for(unsigned g) const { return cached(g) ? host(g) : x86::rax; }

  void set(unsigned g, const x86::Gp& from) {
    if (g == 0) return;
    if (static_cast<int>(g) == address_.base) address_ = {};
    if (cached(g)) {
      if (host(g) != from) a_.mov(host(g), from);
    } else {
      a_.mov(guest(g), from);
    }
  }

  void store_cached() {
    for (unsigned g = 1; g < 32; ++g) {
      if (cached(g) && written_[g]) a_.mov(guest(g), host(g));
    }
  }

  void reload_clobbered() {
    for (unsigned g = 1; g < 32; ++g) {
      if (cached(g) && !host_calls::preserved(host(g))) a_.mov(host(g), guest(g));
    }
  }

  void leave(JitExit why) {
    a_.mov(kExitKind, static_cast<uint32_t>(why));
    a_.jmp(imm(tables_.leave));
  }

  // A block that loops round its own branch stores the branch's delay-slot address once, on the way
  // out, and only when it has been round: the budget then stands below the first round's.
  void leave_loop_slot_behind() {
    if (!branch_loop_) return;
    const Label first_round = a_.newLabel();
    a_.cmp(kBudget, kFirstRound);
    a_.jge(first_round);
    a_.mov(kDelaySlotPc, address(n_ - 1));
    a_.bind(first_round);
  }

  // Leaves before word `k` runs, giving back the words not run.
  void side_exit(uint32_t k) {
    leave_loop_slot_behind();
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
      a_.jge(body_);
      a_.jmp(again);
      cold_.push_back([this, again, last] {
        a_.bind(again);
        a_.add(kBudget, n_);
        if (branch_loop_) a_.mov(kDelaySlotPc, address(n_ - 1));
        store_cached();
        a_.mov(kLastWord, block_.words[last].word);
        a_.mov(kPc, block_.pc);
        leave(JitExit::stopped);
      });
      return;
    }
    leave_loop_slot_behind();
    store_cached();
    a_.mov(kLastWord, block_.words[last].word);
    if (may_stop_at(target) || (target & 3) != 0 || !holds_code(translate_address(target))) {
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
    } else if (w.op != op_nop && w.a != 0) {
      const x86::Gp to = result_for(w.a);
      emit_arithmetic(w, to);
      set(w.a, to);
    }
  }

  // Computes a word that writes register `a` into `to`, which is free to use: rax, or `a`'s own
  // host register, which the word may also read.
  void emit_arithmetic(const DecodedWord& w, const x86::Gp& to) {
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
        a_.mov(to,
               cpu_field(w.op == op_mfhi ? offsetof(CpuState, hi_reg) : offsetof(CpuState, lo_reg),
                         8));
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

  // The complete model's 32-bit operations: on the low halves, in eax, the result sign-extended.
  void emit_word_arithmetic(const DecodedWord& w, const x86::Gp& to) {
    const bool shift = w.op >= op_sll32 && w.op <= op_srav32;
    low_half(shift ? w.c : w.b, x86::rax);
    if (w.op >= op_sllv32 && w.op <= op_srav32) low_half(w.b, x86::rcx);
    if (w.op == op_addu32 || w.op == op_subu32) low_half(w.c, x86::rcx);
    switch (w.op) {
      case op_addiu32:
        a_.add(x86::eax, static_cast<int32_t>(static_cast<int16_t>(w.imm)));
        break;
      case op_sll32:
        a_.shl(x86::eax, w.imm);
        break;
      case op_srl32:
        a_.shr(x86::eax, w.imm);
        break;
      case op_sra32:
        a_.sar(x86::eax, w.imm);
        break;
      case op_sllv32:
        a_.shl(x86::eax, x86::cl);
        break;
      case op_srlv32:
        a_.shr(x86::eax, x86::cl);
        break;
      case op_srav32:
        a_.sar(x86::eax, x86::cl);
        break;
      case op_addu32:
        a_.add(x86::eax, x86::ecx);
        break;
      default:  // SUBU
        a_.sub(x86::eax, x86::ecx);
        break;
    }
    a_.movsxd(to, x86::eax);
  }

  // ADD, ADDI and SUB: as ADDU, ADDIU and SUBU, but an overflow leaves before `exit_before` for
  // the exact path to raise the exception, with the destination as it was.
  void emit_trapping(const DecodedWord& w, uint32_t exit_before) {
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
  void emit_product(const DecodedWord& w) {
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

  void emit_immediate(const DecodedWord& w, const x86::Gp& to) {
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
  void emit_variable_shift(const DecodedWord& w, const x86::Gp& to) {
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
  void emit_comparison(const DecodedWord& w, const x86::Gp& to) {
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
  void emit_register_arithmetic(const DecodedWord& w, const x86::Gp& to) {
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

  void apply_register_operation(uint8_t op, const x86::Gp& to, const x86::Gp& rt) {
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

  // A load or store. Its bytes must lie in RDRAM or the SP memories, aligned on their size (so
  // that they stay in one code page); otherwise the block leaves before `exit_before` for the exact
  // path to make the access. The bytes' distance from RDRAM's first byte is left in rdx, where a
  // later access with the same base register and offset finds it, until the base changes.
  void emit_memory(uint32_t k, uint32_t exit_before) {
    const DecodedWord& w = block_.words[k];
    const Operation& operation = ::operation(w.op);
    const Label refused = a_.newLabel();
    if (!address_.holds(w.b, w.imm, operation.bytes)) find_bytes(w, operation.bytes, refused);
    const x86::Mem bytes = x86::ptr(kCpu, x86::rdx, 0, reach_.rdram, operation.bytes);
    if (operation.stores) {
      emit_store(k, bytes);
    } else {
      emit_load(w, bytes);
    }
    cold_.push_back([this, refused, exit_before] {
      a_.bind(refused);
      side_exit(exit_before);
    });
  }

  // The distance from RDRAM's first byte of the `bytes` bytes at the effective address into rdx,
  // for bytes aligned on their size that lie in RDRAM or the SP memories; anything else goes to
  // `refused`. One test of RDRAM's bounds and the alignment at once keeps the common path short.
  void find_bytes(const DecodedWord& w, uint32_t bytes, const Label& refused) {
    const Label sp_memories = a_.newLabel();
    const Label found = a_.newLabel();
    effective_address(w, refused);
    a_.mov(x86::ecx, x86::edx);
    a_.shr(x86::ecx, 29);
    a_.sub(x86::edx, x86::dword_ptr(kCpu, x86::rcx, 2, reach_.segments));
    a_.test(x86::edx, ~(0x00400000u - bytes));
    a_.jnz(sp_memories);
    a_.bind(found);
    // Watchpoints change only between runs, which begin with no translated code.
    if (!watchpoints.empty()) {
      a_.mov(x86::ecx, x86::edx);
      a_.shr(x86::ecx, 12);
      a_.cmp(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.watched), 0);
      a_.jne(refused);
    }
    address_ = {static_cast<int>(w.b), w.imm, bytes};
    cold_.push_back([this, sp_memories, found, refused, bytes] {
      a_.bind(sp_memories);
      a_.sub(x86::edx, 0x04000000);
      a_.test(x86::edx, ~(0x2000u - bytes));
      a_.jnz(refused);
      a_.add(x86::edx, kSpFromRdram);
      a_.jmp(found);
    });
  }

  // The effective address into edx: for the 0.2c model the low half of rs plus the offset,
  // zero-extended; for the complete model rs plus the sign-extended offset, whose sum must be a
  // sign-extended 32-bit address (anything else is an address error, and goes to `refused`).
  void effective_address(const DecodedWord& w, const Label& refused) {
    if (checks_address(w.op)) {
      const int32_t offset = static_cast<int16_t>(w.imm);
      if (cached(w.b)) {
        a_.lea(x86::rdx, x86::ptr(host(w.b), offset));
      } else {
        load(x86::rdx, w.b);
        if (offset != 0) a_.add(x86::rdx, offset);
      }
      a_.movsxd(x86::rcx, x86::edx);
      a_.cmp(x86::rcx, x86::rdx);
      a_.jne(refused);
    } else if (cached(w.b)) {
      a_.lea(x86::edx, x86::ptr(host(w.b), static_cast<int32_t>(w.imm)));
    } else {
      low_half(w.b, x86::rdx);
      if (w.imm != 0) a_.add(x86::edx, w.imm);
    }
  }

  void emit_load(const DecodedWord& w, x86::Mem bytes) {
    const x86::Gp to = result_for(w.a);
    switch (w.op) {
      case op_lb:
      case op_lb_checked:
        a_.movsx(to, bytes);
        break;
      case op_lbu:
      case op_lbu_checked:
        a_.movzx(to.r32(), bytes);
        break;
      case op_lh_checked:
        a_.movbe(to.r16(), bytes);
        a_.movsx(to, to.r16());
        break;
      case op_lhu_checked:
        a_.movbe(to.r16(), bytes);
        a_.movzx(to.r32(), to.r16());
        break;
      case op_lw:
      case op_lw_checked:
        a_.movbe(to.r32(), bytes);
        a_.movsxd(to, to.r32());
        break;
      case op_lwu_checked:
        a_.movbe(to.r32(), bytes);
        break;
      default:  // LD
        a_.movbe(to, bytes);
        break;
    }
    set(w.a, to);
  }

  // The register's low `size` bytes into memory, big-endian.
  void store_bytes(const x86::Mem& bytes, const x86::Gp& from, uint32_t size) {
    if (size == 1) {
      a_.mov(bytes, from.r8());
    } else if (size == 2) {
      a_.movbe(bytes, from.r16());
    } else if (size == 4) {
      a_.movbe(bytes, from.r32());
    } else {
      a_.movbe(bytes, from.r64());
    }
  }

  // A store, and after it its page marked written (while anyone reads the marks) and, where
  // decoded or translated words may stand, the copies of the stored bytes dropped. While no RDRAM
  // page holds any, a store into RDRAM need not look; the translator drops such blocks once one
  // does.
  void emit_store(uint32_t k, const x86::Mem& bytes) {
    const x86::Gp from = value(block_.words[k].a, x86::r11);
    const uint32_t size = operation(block_.words[k].op).bytes;
    const Label resume = a_.newLabel();
    if (!tables_.rdram_stores_unchecked) {
      store_bytes(bytes, from, size);
      emit_store_marks(k, resume);
      a_.bind(resume);
      return;
    }
    const Label sp_memories = a_.newLabel();
    a_.cmp(x86::edx, 0x00400000);
    a_.jae(sp_memories);
    store_bytes(bytes, from, size);
    if (code_page_marks_wanted) {
      a_.mov(x86::ecx, x86::edx);
      a_.shr(x86::ecx, 12);
      a_.mov(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.written), 1);
    }
    a_.bind(resume);
    cold_.push_back([this, sp_memories, bytes, from, size, k, resume] {
      a_.bind(sp_memories);
      store_bytes(bytes, from, size);
      emit_store_marks(k, resume);
      a_.jmp(resume);
    });
  }

  // The marks after a store, going on at `resume`; when translated blocks went, this block, which
  // may be one of them, leaves.
  void emit_store_marks(uint32_t k, const Label& resume) {
    const Label hit = a_.newLabel();
    a_.mov(x86::ecx, x86::edx);
    a_.shr(x86::ecx, 12);
    if (code_page_marks_wanted) a_.mov(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.written), 1);
    a_.cmp(x86::byte_ptr(kCpu, x86::rcx, 0, reach_.copied), 0);
    a_.jne(hit);
    cold_.push_back([this, hit, resume, k] {
      const Label dropped = a_.newLabel();
      a_.bind(hit);
      // Data beside code: no word stored into has copies.
      a_.mov(x86::ecx, x86::edx);
      a_.shr(x86::ecx, 2);
      const uint32_t size = operation(block_.words[k].op).bytes;
      a_.cmp(x86::ptr(kCpu, x86::rcx, 0, reach_.words, size == 8 ? 2 : 1), 0);
      a_.je(resume);
      a_.mov(x86::ecx, x86::edx);
      a_.shr(x86::ecx, 12);
      store_cached();
      a_.mov(kSavedAddress, x86::rdx);
      a_.mov(host_calls::argument(0).r32(), x86::ecx);
      a_.mov(host_calls::argument(1).r32(), x86::edx);
      a_.mov(host_calls::argument(2).r32(), operation(block_.words[k].op).bytes);
      a_.mov(x86::rax, imm(reinterpret_cast<uint64_t>(tables_.store_hook)));
      a_.call(x86::rax);
      a_.test(x86::eax, x86::eax);
      a_.jnz(dropped);
      reload_clobbered();
      a_.mov(x86::rdx, kSavedAddress);
      a_.jmp(resume);
      a_.bind(dropped);
      leave_after_store(k);
    });
  }

  // Leaves once the store at `k` has run, with everything stored already.
  void leave_after_store(uint32_t k) {
    leave_loop_slot_behind();
    if (k == 0 || runs_in_a_slot(block_.words[k - 1].op)) {
      a_.mov(kPc, address(k + 1));
      a_.add(kBudget, n_ - k - 1);
    } else {
      // The store was a delay slot, the block's last word: on to where its jump or branch goes.
      const uint32_t control = k - 1;
      const Kind kind = operation(block_.words[control].op).kind;
      const Label not_taken = a_.newLabel();
      const Label done = a_.newLabel();
      if (kind == Kind::branch || kind == Kind::delayed_branch) {
        a_.cmp(kTaken, 0);
        a_.je(not_taken);
      }
      a_.mov(kDelaySlotPc, address(control) + 4);
      if (kind == Kind::delayed_jump) {
        load_jump_target(control);
        a_.mov(kPc, x86::eax);
      } else {
        a_.mov(kPc, branch_target(control));
      }
      a_.jmp(done);
      a_.bind(not_taken);
      if (kind == Kind::delayed_branch) a_.mov(kDelaySlotPc, address(control) + 4);
      a_.mov(kPc, address(control) + 8);
      a_.bind(done);
    }
    a_.mov(kLastWord, block_.words[k].word);
    leave(JitExit::stopped);
  }

  // How a branch decides: the condition on which it is taken, after comparing rs with rt or 0.
  x86::CondCode emit_comparison_of(const DecodedWord& w) {
    const x86::Gp rs = value(w.b, x86::rax);
    if (operation(w.op).reads & kC) {
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
  void emit_branch(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    const DecodedWord& slot = block_.words[k + 1];
    const Kind kind = operation(w.op).kind;
    const Label not_taken = a_.newLabel();
    if (kind == Kind::likely_branch) {
      a_.j(x86::negateCond(emit_comparison_of(w)), not_taken);
      emit_straight(k + 1, k);
    } else {
      const bool compares_c = (operation(w.op).reads & kC) != 0;
      const bool slot_first =
          !operation(slot.op).stores && !(operation(slot.op).writes_a && slot.a != 0 &&
                                          (slot.a == w.b || (compares_c && slot.a == w.c)));
      if (slot_first) {
        emit_straight(k + 1, k);
        a_.j(x86::negateCond(emit_comparison_of(w)), not_taken);
      } else {
        a_.set(emit_comparison_of(w), kTaken);
        emit_straight(k + 1, k);
        a_.cmp(kTaken, 0);
        a_.je(not_taken);
      }
    }
    if (!branch_loop_) a_.mov(kDelaySlotPc, address(k) + 4);
    leave_for(branch_target(k), k + 1);
    a_.bind(not_taken);
    if (kind == Kind::likely_branch) {
      a_.add(kBudget, 1);  // the slot, which did not run
      leave_for(address(k) + 8, k);
      return;
    }
    if (kind == Kind::delayed_branch) a_.mov(kDelaySlotPc, address(k) + 4);
    leave_for(address(k) + 8, k + 1);
  }

  // 0.2c's jumps, which take effect at once.
  void emit_jump(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    if (w.op == op_jal) {
      a_.mov(x86::rax, imm(alu::jal_link(address(k))));
      set(31, x86::rax);
    }
    if (w.op != op_jr) {
      leave_for(field_jump_target(address(k), w), k);
      return;
    }
    low_half(w.b, x86::rax);
    jump_through_eax(k);
  }

  // The complete model's jumps, the block's last word but their delay slot. A jump through a
  // register to a target on or next to a stop address leaves before it, for the exact path to
  // take it and stop where it must.
  void emit_delayed_jump(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    const bool through_register = (operation(w.op).reads & kB) != 0;
    if (through_register) {
      const Label stops = a_.newLabel();
      low_half(w.b, x86::rax);
      a_.lea(x86::ecx, x86::ptr(x86::rax, -static_cast<int32_t>(kStopAddress)));
      a_.cmp(x86::ecx, kStopSpan + 4);
      a_.jbe(stops);
      a_.mov(kJumpTarget, x86::eax);
      cold_.push_back([this, stops, k] {
        a_.bind(stops);
        side_exit(k);
      });
    }
    if (operation(w.op).writes_a) {
      a_.mov(x86::rcx, imm(ca::link(address(k))));
      set(w.a, x86::rcx);
    }
    // A slot that leaves gives the jump back too: its link, written again, is the same.
    emit_straight(k + 1, k);
    a_.mov(kDelaySlotPc, address(k) + 4);
    if (!through_register) {
      leave_for(field_jump_target(address(k), w), k + 1);
      return;
    }
    a_.mov(x86::eax, kJumpTarget);
    jump_through_eax(k + 1);
  }

  // The target of the jump at `k` into eax: its field's, or the register's kept while its slot
  // ran.
  void load_jump_target(uint32_t k) {
    const DecodedWord& w = block_.words[k];
    if (jumps_to_field(w.op)) {
      a_.mov(x86::eax, field_jump_target(address(k), w));
    } else {
      a_.mov(x86::eax, kJumpTarget);
    }
  }

  // On to the target in eax once word `last` has run: through the lookup table when it holds the
  // target, unless that may be a stop address or is not a word's.
  void jump_through_eax(uint32_t last) {
    const Label miss = a_.newLabel();
    const Label stop = a_.newLabel();
    store_cached();
    a_.mov(kLastWord, block_.words[last].word);
    a_.mov(kPc, x86::eax);
    // may_stop_at, in host code.
    a_.lea(x86::ecx, x86::ptr(x86::rax, -static_cast<int32_t>(kStopAddress)));
    a_.cmp(x86::ecx, kStopSpan);
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
  const Reach& reach_;
  const uint32_t n_;
  const bool branch_loop_;  // the block ends with a branch back to its own start
  const Label body_ = a_.newLabel();
  std::array<int, 32> cached_ = [] {
    std::array<int, 32> none;
    none.fill(-1);
    return none;
  }();
  std::array<bool, 32> written_{};
  std::vector<std::function<void()>> cold_;  // out-of-line paths, emitted after the block

  // What rdx holds where the code stands: the distance from RDRAM's first byte of an access with
  // this base register and offset, found for accesses of up to `bytes` bytes.
  struct AddressInRdx {
    int base = -1;
    uint32_t imm = 0;
    uint32_t bytes = 0;

    bool holds(unsigned b, uint32_t offset, uint32_t size) const {
      return base == static_cast<int>(b) && imm == offset && size <= bytes;
    }
  } address_;
};

}  // namespace

// Loading a register on entry and storing it on leaving costs more than a few accesses to it in
// memory save, unless the block loops round them. Register 0 is never one: it reads as 0 without
// being held anywhere.
std::array<int, 32> host_registers(const BlockSource& block) {
  std::array<int, 32> uses{};
  for (const DecodedWord& w : block.words) {
    const Operation& operation = ::operation(w.op);
    if (operation.reads & kB) ++uses[w.b];
    if (operation.reads & kC) ++uses[w.c];
    if (operation.reads & kA) ++uses[w.a];
    if (operation.writes_a) ++uses[w.a];
  }
  std::array<int, 32> kept;
  kept.fill(-1);
  const int fewest = loops_to_itself(block) ? 1 : 4;
  for (int slot = 0; slot < static_cast<int>(kPool.size()); ++slot) {
    int best = 0;
    for (int g = 1; g < 32; ++g) {
      if (kept[g] < 0 && uses[g] >= fewest && (best == 0 || uses[g] > uses[best])) best = g;
    }
    if (best == 0) break;
    kept[best] = slot;
  }
  return kept;
}

uint32_t field_jump_target(uint32_t pc, const DecodedWord& word) {
  return is_delayed_jump(word.op) ? ca::jump_target(pc, word.imm) : alu::jump_target(word.imm);
}

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

bool emit_block(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables) {
  static const std::optional<Reach> reach = Reach::find();
  if (!reach) return false;
  BlockEmitter(a, block, tables, *reach).emit();
  return true;
}
