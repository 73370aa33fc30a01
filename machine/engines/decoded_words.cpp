#include "machine/engines/decoded_words.h"

#include "cpu/opcode_map.h"
#include "machine/stops/stops.h"

namespace {

// A branch's target or its continuation (the target minus 4) may be a stop address, where the run
// loop must look after the branch or after its slot.
bool branch_may_stop(uint32_t target) {
  return may_stop_at(target) || may_stop_at(target - 4);
}

}  // namespace

DecodedPage::DecodedPage(int index)
    : storage(code_page_storage(index)), physical(code_page_physical(index)) {}

// Stops are decided from the physical address, so a word in an alias of the stop addresses' page
// goes to the exact path where it need not, which is exact all the same.
DecodedWord decoded_form(uint32_t physical) {
  const int page = code_page_index(physical);
  const uint32_t index = (physical & 0xFFF) >> 2;
  const InstrFields f{
      static_cast<uint32_t>(load_big_endian(code_page_storage(page) + 4 * index, 4))};
  DecodedWord word{};
  DecodedOp op = operation_for(opcode_entry(f).exec);
  word.a = f.op() == kSpecialOpcode ? f.rd() : f.rt();
  // Register 0 reads as 0 within a batch, which is zeroed once at its start: a word that writes
  // it, which could leave a value there, runs on the exact path, all but the shifts of register 0
  // itself (NOP among them), which write 0.
  const bool writes_zero = word.a == 0 && operation(op).writes_a && !(op == op_sll && f.rt() == 0);
  // A branch that hands its slot over whenever it is taken is run on the exact path altogether.
  const int32_t target = static_cast<int32_t>(index) + 1 + static_cast<int16_t>(f.imm());
  const bool in_page = target >= 0 && target < 1024;
  const bool hands_over =
      is_branch(op) &&
      (!in_page || branch_may_stop(code_page_physical(page) + 4 * static_cast<uint32_t>(target)));
  // A straight-line word may lead onto a stop address, where the exact path stops after it.
  if (writes_zero || hands_over || may_stop_at(physical + 4) ||
      user_breakpoints.holds_word(physical)) {
    op = op_exit;
  }
  word.op = op;
  word.b = f.rs();
  word.c = f.rt();
  word.imm = op == op_j || op == op_jal        ? f.target()
             : op == op_sll || op == op_dsra32 ? f.sa()
                                               : f.imm();
  word.word = f.word;
  word.target = in_page ? static_cast<uint16_t>(target) : 0;
  return word;
}

void decode_word(const DecodedPage& page, DecodedWord& word, const void* const* handlers) {
  word = decoded_form(page.physical + 4 * static_cast<uint32_t>(&word - page.words));
  word.handler = handlers[word.op];
}
