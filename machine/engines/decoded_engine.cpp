#include "machine/engines/decoded_engine.h"

#include <optional>

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "cpu/r4300i/alu.h"
#include "machine/engines/fast_budget.h"
#include "machine/stops/stops.h"

namespace ca = r4300i::alu;

// What each operation that may stand in a delay slot does, in the order of `DecodedOp`: `r` is the
// register file and `e` the word's entry. REACH(size) finds the bytes of a load or store of the
// 0.2c model, REACH_CHECKED(size) those of the complete model's, or leaves the word to the exact
// path (REFUSED), as TRAPPING leaves a sum that overflows. Expanded by the run loop once for each
// way a word can run.
#define KORVEL_SLOT_BODIES(X)                                                         \
  X(nop, )                                                                            \
  X(addi, r[e->a] = alu::addi(r[e->b], static_cast<uint16_t>(e->imm)))                \
  X(andi, r[e->a] = alu::andi(r[e->b], static_cast<uint16_t>(e->imm)))                \
  X(ori, r[e->a] = alu::ori(r[e->b], static_cast<uint16_t>(e->imm)))                  \
  X(lui, r[e->a] = alu::lui(static_cast<uint16_t>(e->imm)))                           \
  X(sll, r[e->a] = alu::sll(r[e->c], e->imm))                                         \
  X(sllv, r[e->a] = alu::sllv(r[e->c], r[e->b]))                                      \
  X(srav, r[e->a] = alu::srav(r[e->c], r[e->b]))                                      \
  X(dsra32, r[e->a] = alu::dsra32(r[e->c], e->imm))                                   \
  X(mfhi, r[e->a] = cpu.hi_reg)                                                       \
  X(mthi, cpu.hi_reg = r[e->b])                                                       \
  X(mflo, r[e->a] = cpu.lo_reg)                                                       \
  X(mtlo, cpu.lo_reg = r[e->b])                                                       \
  X(ddiv, {                                                                           \
    alu::Quotient q = alu::ddiv(r[e->b], r[e->c]);                                    \
    cpu.lo_reg = q.lo;                                                                \
    cpu.hi_reg = q.hi;                                                                \
  })                                                                                  \
  X(add, r[e->a] = alu::add(r[e->b], r[e->c]))                                        \
  X(addu, r[e->a] = alu::addu(r[e->b], r[e->c]))                                      \
  X(dsub, r[e->a] = alu::dsub(r[e->b], r[e->c]))                                      \
  X(dsubu, r[e->a] = alu::dsubu(r[e->b], r[e->c]))                                    \
  X(and, r[e->a] = alu::and_(r[e->b], r[e->c]))                                       \
  X(or, r[e->a] = alu::or_(r[e->b], r[e->c]))                                         \
  X(xor, r[e->a] = alu::xor_(r[e->b], r[e->c]))                                       \
  X(nor, r[e->a] = alu::nor(r[e->b], r[e->c]))                                        \
  X(slt, r[e->a] = alu::slt(r[e->b], r[e->c]))                                        \
  X(sltu, r[e->a] = alu::sltu(r[e->b], r[e->c]))                                      \
  X(addiu32, r[e->a] = ca::addu32(r[e->b], SIGNED_IMM))                               \
  X(slti, r[e->a] = ca::slt(r[e->b], SIGNED_IMM))                                     \
  X(sltiu, r[e->a] = ca::sltu(r[e->b], SIGNED_IMM))                                   \
  X(xori, r[e->a] = alu::xor_(r[e->b], e->imm))                                       \
  X(lui32, r[e->a] = ca::lui(static_cast<uint16_t>(e->imm)))                          \
  X(sll32, r[e->a] = ca::sll(r[e->c], e->imm))                                        \
  X(srl32, r[e->a] = ca::srl(r[e->c], e->imm))                                        \
  X(sra32, r[e->a] = ca::sra(r[e->c], e->imm))                                        \
  X(sllv32, r[e->a] = ca::sll(r[e->c], static_cast<unsigned>(r[e->b])))               \
  X(srlv32, r[e->a] = ca::srl(r[e->c], static_cast<unsigned>(r[e->b])))               \
  X(srav32, r[e->a] = ca::sra(r[e->c], static_cast<unsigned>(r[e->b])))               \
  X(addu32, r[e->a] = ca::addu32(r[e->b], r[e->c]))                                   \
  X(subu32, r[e->a] = ca::subu32(r[e->b], r[e->c]))                                   \
  X(sltu64, r[e->a] = ca::sltu(r[e->b], r[e->c]))                                     \
  X(mult, HI_LO(ca::mult(r[e->b], r[e->c])))                                          \
  X(multu, HI_LO(ca::multu(r[e->b], r[e->c])))                                        \
  X(div, HI_LO(ca::div(r[e->b], r[e->c])))                                            \
  X(divu, HI_LO(ca::divu(r[e->b], r[e->c])))                                          \
  X(add32, TRAPPING(ca::add32(r[e->b], r[e->c])))                                     \
  X(addi32, TRAPPING(ca::add32(r[e->b], SIGNED_IMM)))                                 \
  X(sub32, TRAPPING(ca::sub32(r[e->b], r[e->c])))                                     \
  X(lb, REACH(1); r[e->a] = alu::lb_value(bytes[0]))                                  \
  X(lbu, REACH(1); r[e->a] = bytes[0])                                                \
  X(lw, REACH(4); r[e->a] = alu::lw_value(load_big_endian(bytes, 4)))                 \
  X(ld, REACH(8); r[e->a] = load_big_endian(bytes, 8))                                \
  X(sw, REACH(4); store_big_endian(bytes, r[e->a], 4); forget_stored<4>(physical))    \
  X(lb_checked, REACH_CHECKED(1); r[e->a] = alu::lb_value(bytes[0]))                  \
  X(lbu_checked, REACH_CHECKED(1); r[e->a] = bytes[0])                                \
  X(lh_checked, REACH_CHECKED(2);                                                     \
    r[e->a] = ca::sign_extend_16(static_cast<uint16_t>(load_big_endian(bytes, 2))))   \
  X(lhu_checked, REACH_CHECKED(2); r[e->a] = load_big_endian(bytes, 2))               \
  X(lw_checked, REACH_CHECKED(4); r[e->a] = alu::lw_value(load_big_endian(bytes, 4))) \
  X(lwu_checked, REACH_CHECKED(4); r[e->a] = load_big_endian(bytes, 4))               \
  X(ld_checked, REACH_CHECKED(8); r[e->a] = load_big_endian(bytes, 8))                \
  X(sb_checked, STORE_CHECKED(1))                                                     \
  X(sh_checked, STORE_CHECKED(2))                                                     \
  X(sw_checked, STORE_CHECKED(4))                                                     \
  X(sd_checked, STORE_CHECKED(8))

#define SIGNED_IMM ca::sign_extend_16(static_cast<uint16_t>(e->imm))
// Where a load or store goes: `physical` and its `bytes` when the engine can make the access, or
// out to the exact path, which raises the complete model's address errors.
#define REACH(size)                                                                     \
  const uint32_t physical = translate_address(alu::effective_address(r[e->b], e->imm)); \
  uint8_t* const bytes = plain_bytes(physical, size);                                   \
  if (!bytes) goto REFUSED
#define REACH_CHECKED(size)                                                             \
  const uint64_t address = r[e->b] + SIGNED_IMM;                                        \
  if ((address & (size - 1)) != 0 || ca::sign_extend_32(ca::low(address)) != address) { \
    goto REFUSED;                                                                       \
  }                                                                                     \
  const uint32_t physical = translate_address(ca::low(address));                        \
  uint8_t* const bytes = plain_bytes(physical, size);                                   \
  if (!bytes) goto REFUSED
#define STORE_CHECKED(size)               \
  REACH_CHECKED(size);                    \
  store_big_endian(bytes, r[e->a], size); \
  forget_stored<size>(physical)
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

// 0.2c's branches, by when they are taken: they go on to the next word when not taken, and to
// TAKEN when taken.
#define KORVEL_BRANCH_CONDITIONS(X) \
  X(beq, r[e->b] == r[e->c])        \
  X(bne, r[e->b] != r[e->c])

// The complete model's comparisons, each named by its delayed branch, whose slot runs either way
// (to PASSED when not taken), and by its likely one, which skips its slot when not taken.
#define KORVEL_COMPARISONS(X)                  \
  X(beq_delayed, beql, r[e->b] == r[e->c])     \
  X(bne_delayed, bnel, r[e->b] != r[e->c])     \
  X(blez, blezl, ca::at_most_zero(r[e->b], 0)) \
  X(bgtz, bgtzl, ca::above_zero(r[e->b], 0))   \
  X(bltz, bltzl, ca::below_zero(r[e->b], 0))   \
  X(bgez, bgezl, ca::at_least_zero(r[e->b], 0))

// The jumps, by operation and label: 0.2c's take effect at once, the complete model's after their
// delay slots.
#define KORVEL_JUMPS(X)       \
  X(j, jump_j)                \
  X(jal, jump_jal)            \
  X(jr, jump_jr)              \
  X(j_delayed, delayed_j)     \
  X(jal_delayed, delayed_jal) \
  X(jr_delayed, delayed_jr)   \
  X(jalr, delayed_jalr)

// The run loop's label tables keep their addresses from one call to the next, which GCC's manual
// promises only for a function that is neither inlined nor cloned.
#if defined(__GNUC__) && !defined(__clang__)
#define KORVEL_KEEPS_LABEL_ADDRESSES __attribute__((noinline, noclone))
#else
#define KORVEL_KEEPS_LABEL_ADDRESSES __attribute__((noinline))
#endif

namespace {

// The bodies stand in the order of the operations table, which the label tables below follow.
#define KORVEL_LIST(name, ...) op_##name,
#define KORVEL_LIST_LIKELY(delayed, likely, taken_if) op_##likely,
constexpr DecodedOp kBodies[] = {KORVEL_SLOT_BODIES(KORVEL_LIST) KORVEL_BRANCH_CONDITIONS(
    KORVEL_LIST) KORVEL_COMPARISONS(KORVEL_LIST) KORVEL_COMPARISONS(KORVEL_LIST_LIKELY)
                                     KORVEL_JUMPS(KORVEL_LIST)};
#undef KORVEL_LIST_LIKELY
#undef KORVEL_LIST
constexpr bool bodies_in_table_order() {
  if (std::size(kBodies) != op_count - op_nop) return false;
  for (std::size_t i = 0; i < std::size(kBodies); ++i) {
    const DecodedOp op = kBodies[i];
    if (op != op_nop + i || runs_in_a_slot(op) != (op <= op_sd_checked)) return false;
    const Kind kind = operation(op).kind;
    if (op >= op_beq && op <= op_bne && kind != Kind::branch) return false;
    if (op >= op_beq_delayed && op <= op_bgez && kind != Kind::delayed_branch) return false;
    if (op >= op_beql && op <= op_bgezl && kind != Kind::likely_branch) return false;
  }
  return true;
}
static_assert(bodies_in_table_order(), "the engine's bodies follow the operations table");

// A word that is yet to be decoded, or the one past the page's end.
DecodedWord marker(const void* const* handlers, DecodedOp op) {
  DecodedWord word{};
  word.handler = handlers[op];
  word.op = op;
  return word;
}

}  // namespace

EngineRun DecodedEngine::run(uint32_t budget, RunObserver* observer) {
  if (cpu.delay_slot_pending) return {};
  budget = fast_budget(budget, observer);
  if (budget == 0) return {};
  return {run_batch(budget)};
}

DecodedPage* DecodedEngine::page_holding(uint32_t physical, const void* const* handlers) {
  int index = code_page_index(physical);
  if (index < 0) return nullptr;
  std::unique_ptr<DecodedPage>& page = pages_[index];
  if (!page) {
    page = std::make_unique<DecodedPage>(index);
    page->words[1024] = marker(handlers, op_exit);
  }
  if (page->generation != generation_) {
    for (int i = 0; i < 1024; ++i) page->words[i] = marker(handlers, op_decode);
    page->generation = generation_;
  }
  mark_code_page_copied(index);
  return page.get();
}

bool DecodedEngine::code_written(uint32_t physical) {
  int index = code_page_index(physical);
  if (index < 0 || !pages_[index] || pages_[index]->generation != generation_) return false;
  DecodedWord& word = pages_[index]->words[(physical & 0xFFF) >> 2];
  word.op = op_decode;
  word.handler = decode_handler_;
  return false;
}

// A store into code, this batch's own too, takes effect from the next word run. The bytes lie in
// one memory, in two words at most, and in two pages only when they cross a page's end (a 0.2c
// store, which need not be aligned).
template <uint32_t size>
void DecodedEngine::forget_stored(uint32_t physical) {
  const int page = code_page_index(physical);
  const uint32_t last = physical + size - 1;
  code_pages.written[page] = 1;
  if (code_pages.copied[page]) [[unlikely]] {
    report_code_write(physical);
    report_code_write(last);
  }
  if ((physical & 0xFFF) > 0x1000 - size) [[unlikely]] {
    code_pages.written[page + 1] = 1;
    if (code_pages.copied[page + 1]) report_code_write(last);
  }
}

// The words of a batch run in segments of straight-line code, each begun at the batch's start or
// where a jump or branch landed. While more than a segment's reach (a page) and a branch with its
// slot are left of the budget, words go from one to the next without counting, and the jumps and
// branches count the segment behind them; nearer the end each word counts itself.
KORVEL_KEEPS_LABEL_ADDRESSES uint32_t DecodedEngine::run_batch(uint32_t budget) {
  // Where each operation goes, in the order of DecodedOp: when words run uncounted, when they run
  // counted, and as a delay slot (a jump, a branch or an exit never runs as one).
#define KORVEL_LABEL(name, ...) &&uncounted_##name,
#define KORVEL_LABEL_LIKELY(delayed, likely, taken_if) &&uncounted_##likely,
#define KORVEL_JUMP_LABEL(op, label) &&label,
  static const void* const kUncounted[op_count] = {
      &&uncounted_decode, &&leave,
      KORVEL_SLOT_BODIES(KORVEL_LABEL) KORVEL_BRANCH_CONDITIONS(KORVEL_LABEL)
          KORVEL_COMPARISONS(KORVEL_LABEL) KORVEL_COMPARISONS(KORVEL_LABEL_LIKELY)
              KORVEL_JUMPS(KORVEL_JUMP_LABEL)};
#undef KORVEL_LABEL_LIKELY
#undef KORVEL_LABEL
#define KORVEL_LABEL(name, ...) &&counted_##name,
#define KORVEL_LABEL_LIKELY(delayed, likely, taken_if) &&counted_##likely,
  static const void* const kCounted[op_count] = {
      &&counted_decode, &&leave,
      KORVEL_SLOT_BODIES(KORVEL_LABEL) KORVEL_BRANCH_CONDITIONS(KORVEL_LABEL)
          KORVEL_COMPARISONS(KORVEL_LABEL) KORVEL_COMPARISONS(KORVEL_LABEL_LIKELY)
              KORVEL_JUMPS(KORVEL_JUMP_LABEL)};
#undef KORVEL_LABEL_LIKELY
#undef KORVEL_LABEL
#undef KORVEL_JUMP_LABEL
#define KORVEL_LABEL(name, ...) &&slot_##name,
#define KORVEL_REFUSED(...) &&slot_refused,
  static const void* const kSlot[op_count] = {
      &&slot_decode, &&slot_refused,
      KORVEL_SLOT_BODIES(KORVEL_LABEL) KORVEL_BRANCH_CONDITIONS(KORVEL_REFUSED)
          KORVEL_COMPARISONS(KORVEL_REFUSED) KORVEL_COMPARISONS(KORVEL_REFUSED)
              KORVEL_JUMPS(KORVEL_REFUSED)};
#undef KORVEL_REFUSED
#undef KORVEL_LABEL
  // Below this many instructions left, words count themselves.
  constexpr uint32_t kCountedBelow = 1024 + 2;
  decode_handler_ = kUncounted[op_decode];

  const uint32_t start = cpu.pc;
  if ((start & 3) != 0) return 0;
  DecodedPage* const page = page_holding(translate_address(start), kUncounted);
  if (!page) return 0;

  uint64_t* const r = cpu.gpr;
  DecodedWord* const words = page->words;
  const uint32_t page_base = start & ~0xFFFu;  // as the program addresses it
  DecodedWord* e = words + ((start & 0xFFF) >> 2);
  DecodedWord* segment = e;           // where the current segment began
  const DecodedWord* stop = nullptr;  // where the budget runs out, when within the segment's reach
  uint32_t left = budget;             // as the current segment began
  const DecodedWord* before_segment = nullptr;  // the word run just before it: a jump or a slot
  DecodedWord* landing = nullptr;  // where a branch goes after its slot, or a jump in this page
  const DecodedWord* last_slot = nullptr;  // the last delay slot run inline
  const DecodedWord* last = nullptr;
  uint32_t target = 0;  // where a jump goes

  auto address_of = [&](const DecodedWord* word) {
    return page_base + static_cast<uint32_t>(word - words) * 4;
  };
  auto in_this_page = [&](uint32_t address) { return (address & ~0xFFCu) == page_base; };
  // Each word's handlers, where REFUSED is where a word goes when it leaves to the exact path, and
  // TAKEN where a taken branch goes (PASSED one of the complete model's not taken).
#define KORVEL_UNCOUNTED(name, body) \
  uncounted_##name : {               \
    body;                            \
  }                                  \
  ++e;                               \
  goto * e->handler;
#define KORVEL_COUNTED(name, body) \
  counted_##name : {               \
    body;                          \
  }                                \
  if (++e == stop) goto out;       \
  goto* kCounted[e->op];
#define KORVEL_UNCOUNTED_BRANCH(name, taken_if) KORVEL_UNCOUNTED(name, if (taken_if) goto TAKEN)
#define KORVEL_COUNTED_BRANCH(name, taken_if) KORVEL_COUNTED(name, if (taken_if) goto TAKEN)
#define KORVEL_UNCOUNTED_DELAYED(delayed, likely, taken_if) \
  uncounted_##delayed : if (taken_if) goto TAKEN;           \
  goto PASSED;
#define KORVEL_COUNTED_DELAYED(delayed, likely, taken_if) \
  counted_##delayed : if (taken_if) goto TAKEN;           \
  goto PASSED;
#define KORVEL_UNCOUNTED_LIKELY(delayed, likely, taken_if) \
  uncounted_##likely : if (taken_if) goto TAKEN;           \
  goto skipped;
#define KORVEL_COUNTED_LIKELY(delayed, likely, taken_if) \
  counted_##likely : if (taken_if) goto TAKEN;           \
  goto skipped;
// After a slot, on to the branch's target, which begins a segment.
#define KORVEL_SLOT(name, body)                \
  slot_##name : {                              \
    body;                                      \
  }                                            \
  --left;                                      \
  before_segment = e;                          \
  e = segment = landing;                       \
  if (left > kCountedBelow) goto * e->handler; \
  goto count_segment;

  r[0] = 0;
  goto begin_segment;

begin_segment:
  segment = e;
  if (left > kCountedBelow) goto * e->handler;
count_segment:
  if (left == 0) goto out;
  stop = left <= static_cast<uint32_t>(words + 1024 - e) ? e + left : nullptr;
  goto* kCounted[e->op];

uncounted_decode:
  decode_word(*page, *e, kUncounted);
  goto * e->handler;
counted_decode:
  decode_word(*page, *e, kUncounted);
  goto* kCounted[e->op];
leave:
  goto out;

#define REFUSED out
#define TAKEN taken
#define PASSED passed
  KORVEL_SLOT_BODIES(KORVEL_UNCOUNTED)
  KORVEL_BRANCH_CONDITIONS(KORVEL_UNCOUNTED_BRANCH)
  KORVEL_COMPARISONS(KORVEL_UNCOUNTED_DELAYED)
  KORVEL_COMPARISONS(KORVEL_UNCOUNTED_LIKELY)
#undef PASSED
#undef TAKEN
#define TAKEN counted_taken
#define PASSED counted_passed
  KORVEL_SLOT_BODIES(KORVEL_COUNTED)
  KORVEL_BRANCH_CONDITIONS(KORVEL_COUNTED_BRANCH)
  KORVEL_COMPARISONS(KORVEL_COUNTED_DELAYED)
  KORVEL_COMPARISONS(KORVEL_COUNTED_LIKELY)
#undef PASSED
#undef TAKEN
#undef REFUSED
#define REFUSED slot_refused
  KORVEL_SLOT_BODIES(KORVEL_SLOT)
#undef REFUSED

counted_passed:
  landing = e + 2;
  goto counted_into_slot;
counted_taken:
  landing = words + e->target;
counted_into_slot:
  // The branch may spend the last of the budget.
  if (left == static_cast<uint32_t>(e - segment) + 1) {
    left = 0;
    goto hand_over;
  }
  goto into_slot;
taken:
  left -= static_cast<uint32_t>(e - segment) + 1;  // the segment, the branch included
  landing = words + e->target;
  last_slot = ++e;
  goto* kSlot[e->op];
passed:
  // The complete model's branch not taken runs its slot as a delay slot all the same.
  landing = e + 2;
into_slot:
  left -= static_cast<uint32_t>(e - segment) + 1;
  last_slot = ++e;
  goto* kSlot[e->op];
slot_decode:
  decode_word(*page, *e, kUncounted);
  goto* kSlot[e->op];
skipped:
  // A likely branch not taken: on past its slot, which does not run.
  left -= static_cast<uint32_t>(e - segment) + 1;
  before_segment = e;
  e += 2;
  goto begin_segment;
slot_refused:
  // A slot this engine does not run, or whose access it cannot make.
  --e;
hand_over : {
  // The interpreter's own hand-over, with the slot to run on the exact path, whose advance then
  // takes pc where the branch or jump goes.
  const uint32_t branch = address_of(e);
  cpu.delay_slot_pc = branch + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc = (is_delayed_jump(e->op) ? target : address_of(landing)) - 4;
  last = e;
  goto finish;
}
jump_j:
  target = alu::jump_target(e->imm);
  goto jump;
jump_jal:
  r[31] = alu::jal_link(address_of(e));
  target = alu::jump_target(e->imm);
  goto jump;
jump_jr:
  target = static_cast<uint32_t>(r[e->b]);
  goto jump;
jump:
  left -= static_cast<uint32_t>(e - segment) + 1;  // the segment, the jump included
  if (left == 0 || may_stop_at(target) || !in_this_page(target)) {
    cpu.pc = target;
    last = e;
    goto finish;
  }
  before_segment = e;
  e = words + ((target & 0xFFF) >> 2);
  goto begin_segment;
delayed_jal:
  r[e->a] = ca::link(address_of(e));
delayed_j:
  target = ca::jump_target(address_of(e), e->imm);
  goto delayed_jump;
delayed_jalr:
  target = ca::low(r[e->b]);
  r[e->a] = ca::link(address_of(e));
  goto delayed_jump;
delayed_jr:
  target = ca::low(r[e->b]);
delayed_jump:
  left -= static_cast<uint32_t>(e - segment) + 1;  // the segment, the jump included
  // The slot runs here only when the target lies in this page and pc may stop the run neither
  // after the jump nor after its slot.
  if (left == 0 || may_stop_through_slot(target) || !in_this_page(target)) goto hand_over;
  landing = words + ((target & 0xFFF) >> 2);
  last_slot = ++e;
  goto* kSlot[e->op];

#undef KORVEL_SLOT
#undef KORVEL_COUNTED_LIKELY
#undef KORVEL_UNCOUNTED_LIKELY
#undef KORVEL_COUNTED_DELAYED
#undef KORVEL_UNCOUNTED_DELAYED
#undef KORVEL_COUNTED_BRANCH
#undef KORVEL_UNCOUNTED_BRANCH
#undef KORVEL_COUNTED
#undef KORVEL_UNCOUNTED

out:
  // `e` is the word not run yet.
  left -= static_cast<uint32_t>(e - segment);
  cpu.pc = address_of(e);
  last = e == segment ? before_segment : e - 1;
  if (!last) return 0;
finish:
  // The interpreter leaves the address of the last slot it ran behind it.
  if (last_slot && cpu.delay_slot_pending == 0) cpu.delay_slot_pc = address_of(last_slot);
  cpu.current_instruction = last->word;
  cpu.opcode_name.set(last->op == op_j ? "J" : last->op == op_jr ? "JR" : "Reading");
  return budget - left;
}
