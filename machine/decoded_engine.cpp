#include "machine/decoded_engine.h"

#include "cpu/alu.h"
#include "cpu/cpu_state.h"
#include "machine/code_watch.h"
#include "machine/execution.h"

DecodedEngine decoded_engine;

namespace {

// A jump that may land on a stop address ends the batch, and the run loop stops there.
bool jump_may_stop(uint32_t target) {
  return target - kStopAddress <= kBreakpointAddress - kStopAddress;
}

// A word that is yet to be decoded, or the one past the page's end.
DecodedWord marker(const void* const* handlers, DecodedOp op) {
  DecodedWord word{};
  word.handler = handlers[op];
  word.op = op;
  return word;
}

}  // namespace

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
  code_page_copied[index] = 1;
  return page.get();
}

void DecodedEngine::code_written(uint32_t physical) {
  int index = code_page_index(physical);
  if (index < 0 || !pages_[index] || pages_[index]->generation != generation_) return;
  DecodedWord& word = pages_[index]->words[(physical & 0xFFF) >> 2];
  word.op = op_decode;
  word.handler = decode_handler_;
}

// A store into code, this batch's own too, takes effect from the next word run. The four bytes lie
// in one memory, in two pages only when they cross a page's end.
void DecodedEngine::forget_stored_word(uint32_t physical) {
  const int page = code_page_index(physical);
  code_page_written[page] = 1;
  if (code_page_copied[page]) [[unlikely]] {
    code_stored(physical);
    code_stored(physical + 3);
  }
  if ((physical & 0xFFF) > 0xFFC) [[unlikely]] {
    code_page_written[page + 1] = 1;
    if (code_page_copied[page + 1]) code_stored(physical + 3);
  }
}

// The words of a batch run in segments of straight-line code, each begun at the batch's start or
// where a jump or branch landed. While more than a segment's reach (a page) and a branch with its
// slot are left of the budget, words go from one to the next without counting, and the jumps and
// branches count the segment behind them; nearer the end each word counts itself.
uint32_t DecodedEngine::run(uint32_t budget) {
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
  static_assert(op_count - op_sw == 6, "every operation after SW is refused as a slot");
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
  if (left == 0 || jump_may_stop(target) || !in_this_page(target)) {
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
