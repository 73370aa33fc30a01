#pragma once

// The emitter of one translated block, in parts by what it emits: the block's frame and its ways
// out (block_emitter.cpp), arithmetic (emit_arithmetic.cpp), loads and stores (emit_memory.cpp),
// branches and jumps (emit_control.cpp). The translator's own; nothing else includes it.

#include <asmjit/x86.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/alu.h"
#include "cpu/r4300i/fpu_registers.h"
#include "machine/engines/copied_words.h"
#include "machine/engines/host_calls.h"
#include "machine/engines/translated_code.h"
#include "machine/stops/stops.h"
#include "memory/memory_map.h"

namespace block_emission {

namespace x86 = asmjit::x86;
using asmjit::imm;
using asmjit::Label;
namespace ca = r4300i::alu;

inline const x86::Gp kCpu = x86::rbx;
inline const x86::Gp kBudget = x86::r12;
// Host registers that hold guest registers: the pooled places, those that calls preserve on
// Windows first, then the pinned registers' places, which calls preserve everywhere.
inline const std::array<x86::Gp, 9> kPool = {x86::rsi, x86::rdi, x86::r8,  x86::r9, x86::r10,
                                             x86::rbp, x86::r13, x86::r14, x86::r15};

static_assert(offsetof(CpuState, gpr) == 0);
static_assert(kPooledPlaces + kPinnedRegisters.size() == kPool.size());

// What a virtual address's top three bits subtract to make it physical for the 0.2c model: KSEG0
// and KSEG1 map onto the physical addresses below 0x20000000, and every other address is physical
// as it stands.
alignas(32) inline constexpr uint32_t kSegmentBase[8] = {0,           0,           0, 0,
                                                         kKseg0First, kKseg1First, 0, 0};
static_assert(translate_address(0x803FFFFC) == 0x803FFFFC - kSegmentBase[4] &&
              translate_address(0xA0000010) == 0xA0000010 - kSegmentBase[5]);

// The same for the complete model, whose segments but KSEG0 and KSEG1 are mapped: what theirs
// subtract leaves every address in them within the last 512 MB below 4 GB, which hold neither RDRAM
// nor an SP memory, so that their accesses take the exact path, which translates them.
constexpr uint32_t mapped_segment_base(uint32_t segment) {
  return (segment << 29) + kSegmentBytes;  // wraps round for the last
}
alignas(32) inline constexpr uint32_t kFixedSegmentBase[8] = {mapped_segment_base(0),
                                                              mapped_segment_base(1),
                                                              mapped_segment_base(2),
                                                              mapped_segment_base(3),
                                                              kKseg0First,
                                                              kKseg1First,
                                                              mapped_segment_base(6),
                                                              mapped_segment_base(7)};
constexpr bool mapped_segments_reach_no_memory() {
  for (uint32_t segment : {0u, 1u, 2u, 3u, 6u, 7u}) {
    const uint32_t first = segment << 29;
    const uint32_t last = first + (kSegmentBytes - 1);
    const uint32_t top = 0u - kSegmentBytes;
    if (first - kFixedSegmentBase[segment] < top || last - kFixedSegmentBase[segment] < top) {
      return false;
    }
  }
  return true;
}
static_assert(mapped_segments_reach_no_memory() &&
              kSpDmemFirst + 2 * kSpMemoryBytes < 0u - kSegmentBytes);

// The SP memories follow RDRAM in storage, and each other: an access from one into the other is
// one host access, as the byte-wise one would read the same bytes.
inline constexpr uint32_t kSpFromRdram =
    offsetof(MemoryStorage, sp_dmem) - offsetof(MemoryStorage, rdram);
static_assert(kSpFromRdram % kCodePageBytes == 0, "pages of the SP memories are pages apart");

inline x86::Mem cpu_field(std::size_t offset, uint32_t size) {
  return x86::ptr(kCpu, static_cast<int32_t>(offset), size);
}
inline x86::Mem guest(unsigned n) {
  return x86::qword_ptr(kCpu, static_cast<int32_t>(8 * n));
}
inline const x86::Mem kPc = cpu_field(offsetof(CpuState, pc), 4);
inline const x86::Mem kDelaySlotPc = cpu_field(offsetof(CpuState, delay_slot_pc), 4);
// The word last run goes straight into `current_instruction`, which lies just after the delay
// slot's address: a jump or branch records both with one store.
inline const x86::Mem kLastWord = cpu_field(offsetof(CpuState, current_instruction), 4);
inline const x86::Mem kSlotPcAndLastWord = cpu_field(offsetof(CpuState, delay_slot_pc), 8);
static_assert(offsetof(CpuState, current_instruction) == offsetof(CpuState, delay_slot_pc) + 4);

// The translator's JitContext, reached from `cpu` as the program's data is (see Reach), so that
// no host register is kept for it.
struct ContextFields {
  int32_t from_cpu;

  x86::Mem field(std::size_t offset, uint32_t size) const {
    return x86::ptr(kCpu, from_cpu + static_cast<int32_t>(offset), size);
  }
  x86::Mem exit_kind() const { return field(offsetof(JitContext, exit), 4); }
  x86::Mem link_site() const { return field(offsetof(JitContext, link_site), 8); }
  x86::Mem saved_address() const { return field(offsetof(JitContext, saved_address), 8); }
  x86::Mem first_round() const { return field(offsetof(JitContext, first_round_budget), 8); }
  x86::Mem taken() const { return field(offsetof(JitContext, taken), 1); }
  x86::Mem jump_target() const { return field(offsetof(JitContext, jump_target), 4); }
  x86::Mem entry_stack() const { return field(offsetof(JitContext, entry_stack), 8); }
  x86::Mem deepest_stack() const { return field(offsetof(JitContext, deepest_stack), 8); }
};
// The guest return address of the newest return frame, above the host's.
inline const x86::Mem kFramedReturn = x86::dword_ptr(x86::rsp, 8);

// The program's data that translated code reaches, as displacements from `cpu` (rbx): they all lie
// in one image, so a 32-bit displacement reaches them and no host address needs a register.
struct Reach {
  int32_t rdram;
  int32_t written;         // code_pages.written
  int32_t copied;          // code_pages.copied
  int32_t words;           // code_word_copied
  int32_t segments;        // kSegmentBase
  int32_t fixed_segments;  // kFixedSegmentBase
  int32_t watched;         // the pages holding a watched byte

  // The displacement of `data` from `cpu`, where a 32-bit one reaches it with room to spare.
  static std::optional<int32_t> from_cpu(const void* data) {
    const std::ptrdiff_t distance =
        static_cast<const uint8_t*>(data) - reinterpret_cast<const uint8_t*>(&cpu);
    if (distance < std::numeric_limits<int32_t>::min() / 2 ||
        distance > std::numeric_limits<int32_t>::max() / 2) {
      return std::nullopt;
    }
    return static_cast<int32_t>(distance);
  }

  static std::optional<Reach> find() {
    auto rdram = from_cpu(memory.rdram);
    auto written = from_cpu(code_pages.written);
    auto copied = from_cpu(code_pages.copied);
    auto words = from_cpu(code_word_copied);
    auto segments = from_cpu(kSegmentBase);
    auto fixed_segments = from_cpu(kFixedSegmentBase);
    auto watched = from_cpu(watchpoints.page_marks());
    if (!rdram || !written || !copied || !words || !segments || !fixed_segments || !watched) {
      return std::nullopt;
    }
    return Reach{*rdram, *written, *copied, *words, *segments, *fixed_segments, *watched};
  }
};

inline uint32_t branch_target(const BlockSource& block, uint32_t k) {
  return alu::branch_continuation(block.pc + 4 * k, static_cast<uint16_t>(block.words[k].imm)) + 4;
}

// Whether the block's jump or taken branch goes back to its own start.
inline bool loops_to_itself(const BlockSource& block) {
  for (uint32_t k = 0; k < block.words.size(); ++k) {
    const DecodedWord& w = block.words[k];
    if (jumps_to_field(w.op) && field_jump_target(block.pc + 4 * k, w) == block.pc) return true;
    if (is_branch(w.op) && branch_target(block, k) == block.pc) return true;
  }
  return false;
}

// The offset of a load's or store's bytes from its base register, as the word's model adds it.
inline int64_t access_offset(const DecodedWord& w) {
  return checks_address(w.op) ? int64_t{static_cast<int16_t>(w.imm)} : int64_t{w.imm};
}

// Bytes at offsets from one base register that one check finds in one page: from `low` to `high`
// (exclusive) counted from the offset `anchor`, whose address is aligned on `alignment`.
struct AccessRange {
  int64_t anchor = 0;
  int64_t low = 0;
  int64_t high = 0;
  uint32_t alignment = 0;

  // Whether an access of `size` bytes at `offset` lies within, aligned on its size.
  bool covers(int64_t offset, uint32_t size) const {
    const int64_t from = offset - anchor;
    return from >= low && from + size <= high && from % size == 0 && size <= alignment;
  }
};

class BlockEmitter {
 public:
  BlockEmitter(x86::Assembler& a, const BlockSource& block, const EmitterTables& tables,
               const Reach& reach, const ContextFields& context)
      : a_(a),
        block_(block),
        tables_(tables),
        reach_(reach),
        context_(context),
        n_(static_cast<uint32_t>(block.words.size())),
        branch_loop_(n_ >= 2 && is_branch(block.words[n_ - 2].op) &&
                     branch_target(n_ - 2) == block.pc),
        full_fpu_registers_(r4300i::fpu::full_registers()) {
    const std::array<int, 32> kept = host_registers(block);
    for (unsigned g = 0; g < 32; ++g) {
      if (kept[g] >= 0) cached_[g] = kept[g];
    }
    for (const DecodedWord& w : block.words) {
      if (writes_a(w)) written_[w.a] = true;
    }
    choose_unextended();
  }

  void emit();

 private:
  uint32_t address(uint32_t k) const { return block_.pc + 4 * k; }

  uint32_t branch_target(uint32_t k) const { return block_emission::branch_target(block_, k); }

  bool cached(unsigned g) const { return g != 0 && cached_[g] >= 0; }
  static bool pinned(unsigned g) {
    return std::ranges::find(kPinnedRegisters, g) != kPinnedRegisters.end();
  }
  const x86::Gp& host(unsigned g) const { return kPool[cached_[g]]; }

  // A register holding guest register `g`: its host register, or `scratch` loaded with it.
  x86::Gp value(unsigned g, const x86::Gp& scratch);

  // Guest register `g` into `to`.
  void load(const x86::Gp& to, unsigned g);

  // The low half of guest register `g`, zero-extended into `scratch`.
  void low_half(unsigned g, const x86::Gp& scratch);

  // Where an operation writing guest register `g` leaves its result: its host register, or rax,
  // which `set` then stores. Register 0 keeps its 0: only a shift of register 0 itself (a NOP)
  // writes it on this path, and that writes 0.
  x86::Gp result_for(unsigned g) const { return cached(g) ? host(g) : x86::rax; }

  void set(unsigned g, const x86::Gp& from);
  // A value that a 32-bit immediate sign-extends to goes in without a scratch register.
  void set_constant(unsigned g, uint64_t value);

  // The registers held that the block writes, into the machine, once the words before `ran` have
  // run.
  void store_cached(uint32_t ran);

  // The complete model's 32-bit arithmetic sign-extends its results. A register held whose
  // every reader uses no more than its low half (that arithmetic, a store of a word or less)
  // keeps what that arithmetic computes unextended until it goes into the machine
  // (`unextended_`); a block that loops to its own start by a jump rather than a branch keeps
  // none so.
  void choose_unextended();
  // Of the words from `from` to `to`, whether the last that writes register `g` leaves it
  // unextended; none when none writes it.
  std::optional<bool> last_write_unextended(unsigned g, uint32_t from, uint32_t to) const;
  // Sign-extends register `g` held unextended before it goes into the machine, once the words
  // before `ran` have run: as the last of them to write it left it, or, none having written it,
  // as the last to write it in the time round before, if a looping block has been round.
  void extend_for_machine(unsigned g, uint32_t ran);

  void reload_clobbered();

  void leave(JitExit why);

  // A block that loops round its own branch stores the branch's delay-slot address once, on the way
  // out, and only when it has been round: the budget then stands below the first round's.
  void leave_loop_slot_behind();

  // Leaves before word `k` runs, giving back the words not run.
  void side_exit(uint32_t k);

  // Leaves for `target` once word `last` has run: straight into its block when that is
  // translated (the jump is patched then), round the block again for a loop, and back to the run
  // loop when it may have to stop there. `slot_pc`, where a jump or branch has handed over to its
  // delay slot, is the slot's address, which the machine keeps.
  void leave_for(uint32_t target, uint32_t last, std::optional<uint32_t> slot_pc = {});

  // What every way from word `last` into another block does first: the loop's slot address, the
  // registers held, and the word last run and `slot_pc` into the machine.
  void hand_over(uint32_t last, std::optional<uint32_t> slot_pc);

  // The word last run, and the delay slot's address when there is one, into the machine: one
  // store, through `scratch` for both.
  void record_last_word(uint32_t last, std::optional<uint32_t> slot_pc, const x86::Gp& scratch);

  // Whether a jump to `target` may go straight into its block: it cannot stop there, and it is a
  // word's address where code can stand.
  bool links_to(uint32_t target) const;

  // On to `target` with everything stored: through a jump patched once its block is translated,
  // or back to the run loop when it may have to stop there.
  void jump_to(uint32_t target);

  // The way out of the unpatched jump or call before `after`: to the translator, which
  // translates `target` and patches it.
  void link_stub(const Label& stub, const Label& after, uint32_t target);

  // A JAL to `target` once word `last` has run, as a host call that the JR to `return_address`
  // returns from (see kReturnFrames); as `leave_for` where the jump cannot link, or the frames
  // have run out.
  void call_for(uint32_t target, uint32_t return_address, uint32_t last, uint32_t slot_pc);

  void emit_straight(uint32_t k, uint32_t exit_before);

  // Computes a word that writes register `a` into `to`, which is free to use: rax, or `a`'s own
  // host register, which the word may also read.
  void emit_arithmetic(const DecodedWord& w, const x86::Gp& to);

  // The complete model's 32-bit operations: on the low halves, in eax, the result sign-extended.
  void emit_word_arithmetic(const DecodedWord& w, const x86::Gp& to);

  // ADD, ADDI and SUB: as ADDU, ADDIU and SUBU, but an overflow leaves before `exit_before` for
  // the exact path to raise the exception, with the destination as it was.
  void emit_trapping(const DecodedWord& w, uint32_t exit_before);

  // MULT and MULTU: the 64-bit product of the low halves, its halves sign-extended into HI and LO.
  void emit_product(const DecodedWord& w);

  void emit_immediate(const DecodedWord& w, const x86::Gp& to);

  // The count is the low 8 bits of rs, in cl; rax holds the value until it is in place.
  void emit_variable_shift(const DecodedWord& w, const x86::Gp& to);

  // SLT compares whole registers as signed numbers, 0.2c's SLTU their low halves as unsigned
  // ones; the complete model's SLTU, SLTI and SLTIU whole registers with rt or the sign-extended
  // immediate.
  void emit_comparison(const DecodedWord& w, const x86::Gp& to);

  // The three-register operations: rs (its low half for ADDU and DSUBU) op rt, in rax first, as
  // `to` may be rt's own register; in place where rd is rs and not rt.
  void emit_register_arithmetic(const DecodedWord& w, const x86::Gp& to);

  void apply_register_operation(uint8_t op, const x86::Gp& to, const x86::Gp& rt);

  // A load or store. Its bytes must lie in RDRAM or the SP memories, aligned on their size (so
  // that they stay in one code page), and for the complete model in KSEG0 or KSEG1; otherwise the
  // block leaves before `exit_before` for the exact path to make the access. The accesses after it
  // with the same base register, up to where the block changes that register, are checked with
  // it, as one range of bytes in one page (a stack frame's saves and restores, a structure's
  // fields): the range's distance from RDRAM's first byte is left in rdx, where they find it.
  void emit_memory(uint32_t k, uint32_t exit_before);

  // The accesses from word `k` on that can share its check.
  AccessRange access_range(uint32_t k) const;

  // The distance from RDRAM's first byte of the range's anchor into rdx, for an anchor aligned on
  // the range's alignment and a range that lies in one page of RDRAM or the SP memories; anything
  // else goes to `refused`. One test of RDRAM's bounds and the alignment at once keeps
  // the common path short.
  void find_bytes(const DecodedWord& w, const AccessRange& range, const Label& refused);

  // The effective address of `offset` from word `w`'s base register into rdx: for the 0.2c model
  // the low half of rs plus the offset, zero-extended; for the complete model rs plus the offset,
  // which `find_bytes` finds a sign-extended 32-bit address or refuses (an address error).
  void effective_address(const DecodedWord& w, int64_t offset);

  void emit_load(const DecodedWord& w, x86::Mem bytes);

  // The register's low `size` bytes into memory, big-endian.
  void store_bytes(const x86::Mem& bytes, const x86::Gp& from, uint32_t size);

  // A store, and after it its page marked written (while anyone reads the marks) and, where
  // decoded or translated words may stand, the copies of the stored bytes dropped. While no RDRAM
  // page holds any, a store into RDRAM need not look; the translator drops such blocks once one
  // does.
  // `from_anchor` is the stored bytes' distance from the anchor of the range rdx finds.
  void emit_store(uint32_t k, const x86::Mem& bytes, int32_t from_anchor);

  // The marks after a store, going on at `resume`; when translated blocks went, this block, which
  // may be one of them, leaves.
  void emit_store_marks(uint32_t k, int32_t from_anchor, const Label& resume, bool leave_on_copies);
  // Whether a store through the same base register follows word `k` before the base changes.
  bool stores_follow_through(uint32_t k) const;

  // Leaves once the store at `k` has run, with everything stored already.
  void leave_after_store(uint32_t k);

  // How a branch decides: the condition on which it is taken, after comparing rs with rt or 0.
  x86::CondCode emit_comparison_of(const DecodedWord& w);

  // A branch and its delay slot, which is the block's last word. The slot runs either way (but for
  // a likely branch, which skips it when not taken): as the delay slot when the branch is taken, as
  // the next word (0.2c) or the delay slot (the complete model) when it is not. A slot that leaves
  // what the branch compares alone, and cannot leave after it has run, runs first, and the
  // comparison then decides the way at once; any other slot runs between the comparison and the
  // decision, which it keeps in memory meanwhile.
  void emit_branch(uint32_t k);

  // Whether the block has words that need the FPU.
  bool uses_fpu() const;

  // Leaves before the block's first word unless the FPU is usable and Status's FR is as it was
  // when the block was translated.
  void emit_fpu_guard();

  // FPU register `n`'s `size` bytes as the block's FR places them.
  x86::Mem fpr(unsigned n, uint32_t size) const;

  // BC1F's and BC1T's decision, on FCSR's condition bit.
  x86::CondCode emit_fpu_condition(const DecodedWord& w);

  // An FPU word that runs as op_fpu; one that would raise an exception leaves before
  // `exit_before`.
  void emit_fpu_word(uint32_t k, uint32_t exit_before);

  // MFC1, DMFC1, MTC1 and DMTC1.
  void emit_fpu_move(const DecodedWord& w);

  // Word `k` through the interpreter's declining handler.
  void emit_fpu_call(uint32_t k, uint32_t exit_before);

  // The word's common cases in the block's own code, which goes to `slow` for the others; false
  // for a word without any.
  bool emit_native_fpu(const DecodedWord& w, const Label& slow);
  void emit_native_compare(bool wide, const x86::Mem& fs, const x86::Mem& ft, unsigned condition,
                           const Label& slow);
  void emit_native_arithmetic(bool wide, r4300i::fpu::Operation op, const x86::Mem& fs,
                              const x86::Mem& ft, const x86::Mem& fd, const Label& slow);
  bool emit_native_conversion(InstrFields f, const Label& slow);
  void emit_single_result_check(const x86::Xmm& single, const x86::Xmm& exact_zero,
                                const Label& slow);
  void emit_single_arithmetic(r4300i::fpu::Operation op, const x86::Mem& fs, const x86::Mem& ft,
                              const x86::Mem& fd, const Label& slow);
  void emit_double_arithmetic(bool difference, const x86::Mem& fs, const x86::Mem& ft,
                              const x86::Mem& fd, const Label& slow);
  void emit_sum(const x86::Xmm& to, const x86::Xmm& from, bool difference);
  void emit_two_sum_error(const x86::Xmm& a, const x86::Xmm& b, const x86::Xmm& sum,
                          bool difference);
  void emit_inexact_cause();

  // Goes to `outside` unless the pattern in `bits` (which it changes) is a zero or has an
  // exponent field from `least` to `most`.
  void emit_exponent_check(const x86::Gp& bits, unsigned fraction_bits, unsigned least,
                           unsigned most, const Label& outside);

  x86::Mem fcsr() const;

  // 0.2c's jumps, which take effect at once.
  void emit_jump(uint32_t k);

  // The complete model's jumps, the block's last word but their delay slot. A jump through a
  // register to a target on or next to a stop address leaves before it, for the exact path to
  // take it and stop where it must.
  void emit_delayed_jump(uint32_t k);

  // Whether the delay slot of the jump through a register at `k` writes that register: the
  // target is then kept in memory while the slot runs.
  bool slot_changes_target(uint32_t k) const;

  // The target of the jump at `k` into eax, once its slot has run: its field's, or the
  // register's.
  void load_jump_target(uint32_t k);

  // On to the target in eax once word `last` has run: through the lookup table when it holds the
  // target, unless that is not a word's or, unless the jump has looked already (`may_stop`
  // false), may be a stop address.
  void jump_through_eax(uint32_t last, bool may_stop, std::optional<uint32_t> slot_pc = {});

  x86::Assembler& a_;
  const BlockSource& block_;
  const EmitterTables& tables_;
  const Reach& reach_;
  const ContextFields context_;
  const uint32_t n_;
  const bool branch_loop_;         // the block ends with a branch back to its own start
  const bool full_fpu_registers_;  // Status's FR when the block was translated
  const Label body_ = a_.newLabel();
  std::array<int, 32> cached_ = [] {
    std::array<int, 32> none;
    none.fill(-1);
    return none;
  }();
  std::array<bool, 32> written_{};
  std::array<bool, 32> unextended_{};
  std::vector<std::function<void()>> cold_;  // out-of-line paths, emitted after the block

  // What rdx holds where the code stands: the distance from RDRAM's first byte of the range's
  // anchor, for accesses with this base register.
  struct AddressInRdx {
    int base = -1;
    AccessRange range;
    bool page_clean = false;  // its page holds no copies, which the stores after need not check
  } address_;
};

}  // namespace block_emission
