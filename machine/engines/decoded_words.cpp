#include "machine/engines/decoded_words.h"

#include "cpu/cpu_state.h"
#include "cpu/interpreter.h"
#include "machine/engines/copied_words.h"
#include "machine/stops/stops.h"

namespace {

// Whether a word of the complete model that writes register 0, where a write is never seen, does
// nothing else: it then runs as a NOP.
bool only_writes_a(uint8_t op) {
  const Operation& operation = ::operation(op);
  return operation.kind == Kind::plain && operation.bytes == 0 && !traps_on_overflow(op);
}

}  // namespace

DecodedPage::DecodedPage(int index)
    : storage(code_page_storage(index)), physical(code_page_physical(index)) {}

// Stops are decided from the physical address, so a word in an alias of the stop addresses' page
// goes to the exact path where it need not, which is exact all the same. The words are those of
// the machine's processor model.
DecodedWord decoded_form(uint32_t physical) {
  const int page = code_page_index(physical);
  const uint32_t index = (physical & 0xFFF) >> 2;
  const InstrFields f{
      static_cast<uint32_t>(load_big_endian(code_page_storage(page) + 4 * index, 4))};
  DecodedWord word{};
  DecodedOp op = operation_for(cpu.model, opcode_entry(cpu.model, f).exec);
  if (cpu.model == CpuModel::r4300i && runs_in_place(f)) op = op_fpu;
  word.a = op == op_jal || op == op_jal_delayed ? 31 : f.op() == kSpecialOpcode ? f.rd() : f.rt();
  // Register 0 reads as 0 within a batch, which is zeroed once at its start. In the 0.2c model a
  // word that writes it, which could leave a value there, runs on the exact path, all but the
  // shifts of register 0 itself (NOP among them), which write 0; in the complete model a write to
  // it is never seen, and a word that does nothing else runs as a NOP.
  if (word.a == 0 && operation(op).writes_a) {
    if (cpu.model == CpuModel::r4300i) {
      op = only_writes_a(op) ? op_nop : op_exit;
    } else if (!(op == op_sll && f.rt() == 0)) {
      op = op_exit;
    }
  }
  // A JALR whose link overwrites its own target register is left to the exact path, which reads
  // the register before it writes it.
  if (op == op_jalr && f.rd() == f.rs()) op = op_exit;
  // A branch that hands its slot over whenever it is taken is run on the exact path altogether, and
  // so is a likely branch that skips its slot onto a stop address or out of the page.
  const int32_t target = static_cast<int32_t>(index) + 1 + static_cast<int16_t>(f.imm());
  const bool in_page = target >= 0 && target < 1024;
  const bool hands_over =
      is_branch(op) && (!in_page || may_stop_through_slot(code_page_physical(page) +
                                                          4 * static_cast<uint32_t>(target)));
  const bool skips_away =
      operation(op).kind == Kind::likely_branch && (index == 1023 || may_stop_at(physical + 8));
  // A straight-line word may lead onto a stop address, where the exact path stops after it.
  if (hands_over || skips_away || may_stop_at(physical + 4) ||
      user_breakpoints.holds_word(physical)) {
    op = op_exit;
  }
  word.op = op;
  word.b = f.rs();
  word.c = f.rt();
  word.imm = jumps_to_field(op) ? f.target() : shifts_by_field(op) ? f.sa() : f.imm();
  word.word = f.word;
  word.target = in_page ? static_cast<uint16_t>(target) : 0;
  return word;
}

void decode_word(const DecodedPage& page, DecodedWord& word, const void* const* handlers) {
  const uint32_t physical = page.physical + 4 * static_cast<uint32_t>(&word - page.words);
  word = decoded_form(physical);
  word.handler = handlers[word.op];
  mark_code_word_copied(physical);
}
