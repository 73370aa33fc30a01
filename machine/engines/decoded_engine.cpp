#include "machine/engines/decoded_engine.h"

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "machine/stops/stops.h"

DecodedEngine decoded_engine;

// What each operation that may stand in a delay slot does, in the order of `DecodedOp`: `r` is the
// register file and `e` the word's entry; REACH(size) finds the bytes of a load or store, or leaves
// the word to the exact path. Expanded by the run loop once for each way a word can run.
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

// The run loop's label tables keep their addresses from one call to the next, which GCC's manual
// promises only for a function that is neither inlined nor cloned.
#if defined(__GNUC__) && !defined(__clang__)
#define KORVEL_KEEPS_LABEL_ADDRESSES __attribute__((noinline, noclone))
#else
#define KORVEL_KEEPS_LABEL_ADDRESSES __attribute__((noinline))
#endif

namespace {

// The bodies stand in the order of the operations table, which the label tables below follow.
#define KORVEL_LIST(name, body) op_##name,
constexpr DecodedOp kBodies[] = {KORVEL_SLOT_BODIES(KORVEL_LIST) KORVEL_BRANCH_BODIES(KORVEL_LIST)
                                     op_j};
#undef KORVEL_LIST
constexpr bool bodies_in_table_order() {
  for (std::size_t i = 0; i < std::size(kBodies); ++i) {
    if (kBodies[i] != op_nop + i || runs_in_a_slot(kBodies[i]) != (kBodies[i] <= op_sw)) {
      return false;
    }
  }
  return is_jump(op_j) && is_jump(op_jal) && is_jump(op_jr) && op_jr + 1 == op_count;
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

EngineRun DecodedEngine::run(uint32_t budget, RunObserver*) {
  if (budget == 0 || cpu.delay_slot_pending || cpu.model != CpuModel::v02c) return {};
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

// A store into code, this batch's own too, takes effect from the next word run. The four bytes lie
// in one memory, in two pages only when they cross a page's end.
void DecodedEngine::forget_stored_word(uint32_t physical) {
  const int page = code_page_index(physical);
  code_page_written[page] = 1;
  if (code_page_copied[page]) [[unlikely]] {
    report_code_write(physical);
    report_code_write(physical + 3);
  }
  if ((physical & 0xFFF) > 0xFFC) [[unlikely]] {
    code_page_written[page + 1] = 1;
    if (code_page_copied[page + 1]) report_code_write(physical + 3);
  }
}

// The words of a batch run in segments of straight-line code, each begun at the batch's start or
// where a jump or branch landed. While more than a segment's reach (a page) and a branch with its
// slot are left of the budget, words go from one to the next without counting, and the jumps and
// branches count the segment behind them; nearer the end each word counts itself.
KORVEL_KEEPS_LABEL_ADDRESSES uint32_t DecodedEngine::run_batch(uint32_t budget) {
  // Where each operation goes, in the order of DecodedOp: when words run uncounted, when they run
  // counted, and as a delay slot (a jump, a branch or an exit never runs as one).
  static const void* const kUncounted[op_count] = {
      &&uncounted_decode,
      &&leave,
#define KORVEL_LABEL(name, body) &&uncounted_##name,
      KORVEL_SLOT_BODIES(KORVEL_LABEL) KORVEL_BRANCH_BODIES(KORVEL_LABEL)
#undef KORVEL_LABEL
          && jump_j,
      &&jump_jal,
      &&jump_jr,
  };
  static const void* const kCounted[op_count] = {
      &&counted_decode,
      &&leave,
#define KORVEL_LABEL(name, body) &&counted_##name,
      KORVEL_SLOT_BODIES(KORVEL_LABEL) KORVEL_BRANCH_BODIES(KORVEL_LABEL)
#undef KORVEL_LABEL
          && jump_j,
      &&jump_jal,
      &&jump_jr,
  };
  static const void* const kSlot[op_count] = {
      &&slot_decode,
      &&slot_refused,
#define KORVEL_LABEL(name, body) &&slot_##name,
      KORVEL_SLOT_BODIES(KORVEL_LABEL)
#undef KORVEL_LABEL
          && slot_refused,
      &&slot_refused,
      &&slot_refused,
      &&slot_refused,
      &&slot_refused,
  };
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
  DecodedWord* landing = nullptr;               // where a taken branch goes after its slot
  const DecodedWord* last_slot = nullptr;       // the last delay slot run inline
  const DecodedWord* last = nullptr;
  uint32_t target = 0;
  uint32_t physical = 0;
  uint8_t* bytes = nullptr;

  auto address_of = [&](const DecodedWord* word) {
    return page_base + static_cast<uint32_t>(word - words) * 4;
  };
  auto in_this_page = [&](uint32_t address) { return (address & ~0xFFCu) == page_base; };
  // Where a load or store goes, if the engine can make it.
  auto reach = [&](const DecodedWord* word, uint32_t size) {
    physical = translate_address(alu::effective_address(r[word->b], word->imm));
    bytes = plain_bytes(physical, size);
    return bytes != nullptr;
  };

  // Each word's handlers, where REACH_FAILED is where a load or store goes when the engine cannot
  // make its access, and TAKEN where a taken branch goes.
#define REACH(size) \
  if (!reach(e, size)) goto REACH_FAILED
#define KORVEL_UNCOUNTED(name, body) \
  uncounted_##name : body;           \
  ++e;                               \
  goto * e->handler;
#define KORVEL_COUNTED(name, body) \
  counted_##name : body;           \
  if (++e == stop) goto out;       \
  goto* kCounted[e->op];
// After a slot, on to the branch's target, which begins a segment.
#define KORVEL_SLOT(name, body)                \
  slot_##name : body;                          \
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

#define REACH_FAILED out
#define TAKEN taken
  KORVEL_SLOT_BODIES(KORVEL_UNCOUNTED)
  KORVEL_BRANCH_BODIES(KORVEL_UNCOUNTED)
#undef TAKEN
#define TAKEN counted_taken
  KORVEL_SLOT_BODIES(KORVEL_COUNTED)
  KORVEL_BRANCH_BODIES(KORVEL_COUNTED)
#undef TAKEN
#undef REACH_FAILED
#define REACH_FAILED slot_refused
  KORVEL_SLOT_BODIES(KORVEL_SLOT)
#undef REACH_FAILED

counted_taken:
  // The branch may spend the last of the budget.
  if (left == static_cast<uint32_t>(e - segment) + 1) {
    left = 0;
    goto hand_over;
  }
taken:
  left -= static_cast<uint32_t>(e - segment) + 1;  // the segment, the branch included
  landing = words + e->target;
  last_slot = ++e;
  goto* kSlot[e->op];
slot_decode:
  decode_word(*page, *e, kUncounted);
  goto* kSlot[e->op];
slot_refused:
  // A slot this engine does not run, or whose access it cannot make.
  --e;
hand_over : {
  // The interpreter's own hand-over, with the slot to run on the exact path.
  const uint32_t branch = address_of(e);
  cpu.delay_slot_pc = branch + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc = alu::branch_continuation(branch, static_cast<uint16_t>(e->imm));
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

#undef KORVEL_SLOT
#undef KORVEL_COUNTED
#undef KORVEL_UNCOUNTED
#undef REACH

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
