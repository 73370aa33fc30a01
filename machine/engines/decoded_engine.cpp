#include "machine/engines/decoded_engine.h"

#include "cpu/cpu_state.h"
#include "cpu/r4300i/interpreter.h"
#include "machine/engines/batch_end.h"
#include "machine/engines/decoded_arithmetic.h"
#include "machine/engines/decoded_control.h"
#include "machine/engines/decoded_memory.h"
#include "machine/engines/fast_budget.h"
#include "machine/engines/fixed_translation.h"
#include "machine/stops/stops.h"

namespace ca = r4300i::alu;
namespace fpu = r4300i::fpu;

// Every operation but decode and exit, in the order of `DecodedOp`, which the run loop's label
// tables follow: what may stand in a delay slot, then the branches and the jumps, each in its
// family's list, and last the words run in place (KORVEL_IN_PLACE), in slots too.
#define KORVEL_SLOT_BODIES(X) KORVEL_ARITHMETIC(X) KORVEL_LOADS_AND_STORES(X)
#define KORVEL_CONTROL(BRANCH, DELAYED, LIKELY, JUMP) \
  KORVEL_BRANCHES(BRANCH)                             \
  KORVEL_COMPARISONS(DELAYED)                         \
  KORVEL_COMPARISONS(LIKELY) KORVEL_JUMPS(JUMP) KORVEL_DELAYED_JUMPS(JUMP)

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
constexpr DecodedOp kBodies[] = {KORVEL_SLOT_BODIES(KORVEL_LIST) KORVEL_CONTROL(
    KORVEL_LIST, KORVEL_LIST, KORVEL_LIST_LIKELY, KORVEL_LIST) KORVEL_IN_PLACE(KORVEL_LIST)};
#undef KORVEL_LIST_LIKELY
#undef KORVEL_LIST
constexpr bool bodies_in_table_order() {
  if (std::size(kBodies) != op_count - op_nop) return false;
  for (std::size_t i = 0; i < std::size(kBodies); ++i) {
    const DecodedOp op = kBodies[i];
    if (op != op_nop + i || runs_in_a_slot(op) != (op <= op_sdc1)) return false;
    const Kind kind = operation(op).kind;
    if (op >= op_beq && op <= op_bne && kind != Kind::branch) return false;
    if (op >= op_beq_delayed && op <= op_bc1t && kind != Kind::delayed_branch) return false;
    if (op >= op_beql && op <= op_bc1tl && kind != Kind::likely_branch) return false;
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
  const uint32_t ran = run_batch(budget);
  advance_clock(ran);
  return {ran};
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

namespace {

// The interpreter's own hand-over of the delay slot of the branch or jump at `branch` to the exact
// path, whose advance then takes pc to `continuation`.
[[gnu::always_inline]] inline void hand_over_slot(uint32_t branch, uint32_t continuation) {
  cpu.delay_slot_pc = branch + 4;
  cpu.delay_slot_pending = 1;
  cpu.pc = continuation - 4;
}

// The interpreter's handler of `word`, run with pc at `address` as the exact path runs it: where
// it leaves pc, the next word's address or an exception's vector. Out of line: the run loop's
// registers stay its own.
[[gnu::noinline]] uint32_t run_in_place(const DecodedWord& word, uint32_t address) {
  cpu.pc = address;
  cpu.current_instruction = word.word;
  const InstrFields f{word.word};
  const OpcodeEntry& row = r4300i::opcode_entry(f);
  row.exec(f, row.name);
  cpu.gpr[0] = 0;  // as the run loop keeps it
  return cpu.pc;
}

// The same for a delay slot, as the exact path runs one after the branch or jump's hand-over: true
// when the run goes on at `continuation`, false when the word raised an exception (pc at its
// vector, the slot's branch in EPC).
[[gnu::noinline]] bool run_slot_in_place(const DecodedWord& word, uint32_t address,
                                         uint32_t continuation) {
  cpu.delay_slot_pc = address;
  cpu.delay_slot_pending = 1;
  const uint32_t pc = run_in_place(word, continuation - 4);
  cpu.delay_slot_pending = 0;
  return pc == continuation;
}

// What the interpreter leaves behind it after the last word of a batch.
[[gnu::always_inline]] inline void leave_behind(const DecodedWord& last) {
  cpu.current_instruction = last.word;
  name_after_batch(last.word);
}

}  // namespace

// Where each operation goes, in the order of DecodedOp: when words run `way` (uncounted or
// counted), and as a delay slot, which a jump, a branch or an exit never is. A jump, and a word
// run in place, goes to one place either way.
#define KORVEL_LABELS(way)                                                                      \
  &&way##_decode, &&out,                                                                        \
      KORVEL_SLOT_BODIES(KORVEL_LABEL_##way) KORVEL_CONTROL(                                    \
          KORVEL_LABEL_##way, KORVEL_LABEL_##way, KORVEL_LIKELY_LABEL_##way, KORVEL_JUMP_LABEL) \
          KORVEL_IN_PLACE(KORVEL_JUMP_LABEL)
#define KORVEL_SLOT_LABELS                                                                        \
  &&slot_decode, &&slot_refused,                                                                  \
      KORVEL_SLOT_BODIES(KORVEL_LABEL_slot) KORVEL_CONTROL(                                       \
          KORVEL_REFUSED_LABEL, KORVEL_REFUSED_LABEL, KORVEL_REFUSED_LABEL, KORVEL_REFUSED_LABEL) \
          KORVEL_IN_PLACE(KORVEL_IN_PLACE_SLOT_LABEL)
#define KORVEL_LABEL_uncounted(name, ...) &&uncounted_##name,
#define KORVEL_LABEL_counted(name, ...) &&counted_##name,
#define KORVEL_LABEL_slot(name, ...) &&slot_##name,
#define KORVEL_LIKELY_LABEL_uncounted(delayed, likely, taken_if) &&uncounted_##likely,
#define KORVEL_LIKELY_LABEL_counted(delayed, likely, taken_if) &&counted_##likely,
#define KORVEL_JUMP_LABEL(name, ...) &&jump_##name,
#define KORVEL_REFUSED_LABEL(...) &&slot_refused,
#define KORVEL_IN_PLACE_SLOT_LABEL(...) &&slot_in_place,

// Each word's handlers, where REFUSED is where a word goes when it leaves to the exact path.
// Uncounted, a word goes on to the next one's handler, and a branch to `taken` or `passed`;
// counted, a word ends the batch where the budget ends, and a branch goes to `counted_taken` or
// `counted_passed`, which may end it there. A likely branch not taken skips its slot either way.
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
#define KORVEL_UNCOUNTED_BRANCH(name, taken_if) KORVEL_UNCOUNTED(name, if (taken_if) goto taken)
#define KORVEL_COUNTED_BRANCH(name, taken_if) KORVEL_COUNTED(name, if (taken_if) goto counted_taken)
#define KORVEL_UNCOUNTED_DELAYED(delayed, likely, taken_if) \
  uncounted_##delayed : if (taken_if) goto taken;           \
  goto passed;
#define KORVEL_COUNTED_DELAYED(delayed, likely, taken_if) \
  counted_##delayed : if (taken_if) goto counted_taken;   \
  goto counted_passed;
#define KORVEL_UNCOUNTED_LIKELY(delayed, likely, taken_if) \
  uncounted_##likely : if (taken_if) goto taken;           \
  goto skipped;
#define KORVEL_COUNTED_LIKELY(delayed, likely, taken_if) \
  counted_##likely : if (taken_if) goto counted_taken;   \
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
#define KORVEL_JUMP(name, body) \
  jump_##name : {               \
    body;                       \
  }                             \
  goto jump;
#define KORVEL_DELAYED_JUMP(name, body) \
  jump_##name : {                       \
    body;                               \
  }                                     \
  goto delayed_jump;
// For a list whose handlers stand elsewhere.
#define KORVEL_ELSEWHERE(...)

// Below this many instructions left, words count themselves.
constexpr uint32_t kCountedBelow = 1024 + 2;

// The words of a batch run in segments of straight-line code, each begun at the batch's start or
// where a jump or branch landed. While more than a segment's reach (a page) and a branch with its
// slot are left of the budget, words go from one to the next without counting, and the jumps and
// branches count the segment behind them; nearer the end each word counts itself.
KORVEL_KEEPS_LABEL_ADDRESSES uint32_t DecodedEngine::run_batch(uint32_t budget) {
  static const void* const kUncounted[op_count] = {KORVEL_LABELS(uncounted)};
  static const void* const kCounted[op_count] = {KORVEL_LABELS(counted)};
  static const void* const kSlot[op_count] = {KORVEL_SLOT_LABELS};
  decode_handler_ = kUncounted[op_decode];

  const uint32_t start = cpu.pc;
  if ((start & 3) != 0) return 0;
  DecodedPage* const page = page_holding(fixed_physical(start), kUncounted);
  if (!page) return 0;

  uint64_t* const r = cpu.gpr;
  DecodedWord* const words = page->words;
  const uint32_t page_base = start & ~0xFFFu;  // as the program addresses it
  auto address_of = [&](const DecodedWord* word) {
    return page_base + static_cast<uint32_t>(word - words) * 4;
  };
  auto word_at = [&](uint32_t address) { return words + ((address & 0xFFF) >> 2); };
  auto in_this_page = [&](uint32_t address) { return (address & ~0xFFCu) == page_base; };

  DecodedWord* e = word_at(start);
  DecodedWord* segment = e;           // where the current segment began
  const DecodedWord* stop = nullptr;  // where the budget runs out, when within the segment's reach
  uint32_t left = budget;             // as the current segment began
  const DecodedWord* before_segment = nullptr;  // the word run just before it: a jump or a slot
  DecodedWord* landing = nullptr;  // where a branch goes after its slot, or a jump in this page
  const DecodedWord* last_slot = nullptr;  // the last delay slot run inline
  const DecodedWord* last = nullptr;
  uint32_t target = 0;  // where a jump goes
  const uint32_t rdram_bytes = bus.rdram_bytes;
  // The words of the current segment up to `word`, a branch or a jump, and with it.
  auto segment_through = [&](const DecodedWord* word) {
    return static_cast<uint32_t>(word - segment) + 1;
  };

  r[0] = 0;
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

#define REFUSED out
  KORVEL_SLOT_BODIES(KORVEL_UNCOUNTED)
  KORVEL_CONTROL(KORVEL_UNCOUNTED_BRANCH, KORVEL_UNCOUNTED_DELAYED, KORVEL_UNCOUNTED_LIKELY,
                 KORVEL_ELSEWHERE)
  KORVEL_SLOT_BODIES(KORVEL_COUNTED)
  KORVEL_CONTROL(KORVEL_COUNTED_BRANCH, KORVEL_COUNTED_DELAYED, KORVEL_COUNTED_LIKELY,
                 KORVEL_ELSEWHERE)
#undef REFUSED
#define REFUSED slot_refused
  KORVEL_SLOT_BODIES(KORVEL_SLOT)
#undef REFUSED

  // From a branch into its delay slot; each way keeps a dispatch of its own, which the processor
  // predicts apart from the others.
counted_passed:
  landing = e + 2;
  goto counted_into_slot;
counted_taken:
  landing = words + e->target;
counted_into_slot:
  // The branch may spend the last of the budget.
  if (left == segment_through(e)) {
    left = 0;
    goto hand_over;
  }
  goto into_slot;
taken:
  left -= segment_through(e);
  landing = words + e->target;
  last_slot = ++e;
  goto* kSlot[e->op];
passed:
  // The complete model's branch not taken runs its slot as a delay slot all the same.
  landing = e + 2;
into_slot:
  left -= segment_through(e);
  last_slot = ++e;
  goto* kSlot[e->op];
slot_decode:
  decode_word(*page, *e, kUncounted);
  goto* kSlot[e->op];
skipped:
  // A likely branch not taken: on past its slot, which does not run.
  left -= segment_through(e);
  before_segment = e;
  e += 2;
  goto begin_segment;
  // A slot the interpreter's handler runs, which may raise an exception instead of going on.
  KORVEL_SLOT(
      in_place, if (!run_slot_in_place(*e, address_of(e), address_of(landing))) {
        --left;
        last = e;
        goto finish;
      })
slot_refused:
  // A slot this engine does not run, or whose access it cannot make.
  --e;
hand_over:
  hand_over_slot(address_of(e), is_delayed_jump(e->op) ? target : address_of(landing));
  last = e;
  goto finish;

  // From a jump on to its target, when that lies in this page.
  KORVEL_JUMPS(KORVEL_JUMP)
jump:
  left -= segment_through(e);
  if (left == 0 || may_stop_at(target) || !in_this_page(target)) {
    cpu.pc = target;
    last = e;
    goto finish;
  }
  before_segment = e;
  e = word_at(target);
  goto begin_segment;
  KORVEL_DELAYED_JUMPS(KORVEL_DELAYED_JUMP)
  KORVEL_IN_PLACE(KORVEL_JUMP)
delayed_jump:
  left -= segment_through(e);
  // The slot runs here only when the target lies in this page and pc may stop the run neither
  // after the jump nor after its slot.
  if (left == 0 || may_stop_through_slot(target) || !in_this_page(target)) goto hand_over;
  landing = word_at(target);
  last_slot = ++e;
  goto* kSlot[e->op];

out:
  // `e` is the word not run yet.
  left -= static_cast<uint32_t>(e - segment);
  cpu.pc = address_of(e);
  last = e == segment ? before_segment : e - 1;
  if (!last) return 0;
finish:
  // The interpreter leaves the address of the last slot it ran behind it.
  if (last_slot && cpu.delay_slot_pending == 0) cpu.delay_slot_pc = address_of(last_slot);
  leave_behind(*last);
  return budget - left;
}
