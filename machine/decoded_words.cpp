#include "machine/decoded_words.h"

#include "cpu/handlers.h"
#include "cpu/opcode_map.h"
#include "machine/debug_access.h"
#include "machine/execution.h"

namespace {

// Which operation runs a word: the one of its row's handler in the opcode map, if the engine has
// it.
DecodedOp operation_of(InstrFields f) {
  struct Kind {
    Handler exec;
    DecodedOp op;
  };
  static constexpr Kind kKinds[] = {
      {exec_ignored, op_nop},   {exec_addi, op_addi},   {exec_andi, op_andi}, {exec_ori, op_ori},
      {exec_lui, op_lui},       {exec_sll, op_sll},     {exec_sllv, op_sllv}, {exec_srav, op_srav},
      {exec_dsra32, op_dsra32}, {exec_mfhi, op_mfhi},   {exec_mthi, op_mthi}, {exec_mflo, op_mflo},
      {exec_mtlo, op_mtlo},     {exec_ddiv, op_ddiv},   {exec_add, op_add},   {exec_addu, op_addu},
      {exec_dsub, op_dsub},     {exec_dsubu, op_dsubu}, {exec_and, op_and},   {exec_or, op_or},
      {exec_xor, op_xor},       {exec_nor, op_nor},     {exec_slt, op_slt},   {exec_sltu, op_sltu},
      {exec_lb, op_lb},         {exec_lbu, op_lbu},     {exec_lw, op_lw},     {exec_ld, op_ld},
      {exec_sw, op_sw},         {exec_beq, op_beq},     {exec_bne, op_bne},   {exec_j, op_j},
      {exec_jal, op_jal},       {exec_jr, op_jr},
  };
  const Handler exec = opcode_entry(f).exec;
  for (const Kind& kind : kKinds) {
    if (kind.exec == exec) return kind.op;
  }
  return op_exit;
}

// The straight-line words that lead to the run loop's two stop addresses are left to the exact
// path, which stops after them.
bool leads_to_a_stop(uint32_t physical) {
  return physical == kStopAddress - 4 || physical == kBreakpointAddress - 4;
}

bool at_a_user_breakpoint(uint32_t physical) {
  for (uint32_t address : user_breakpoints.addresses()) {
    if ((address & 3) == 0 && translate_address(address) == physical) return true;
  }
  return false;
}

// A branch's target or its continuation (the target minus 4) may be a stop address, where the run
// loop must look after the branch or after its slot. Decided from the physical address, so a branch
// in an alias of the stop addresses' page hands over where it need not, which is exact all the
// same.
bool branch_may_stop(uint32_t physical_target) {
  return physical_target - kStopAddress <= kBreakpointAddress + 4 - kStopAddress;
}

}  // namespace

DecodedPage::DecodedPage(int index)
    : storage(code_page_storage(index)), physical(code_page_physical(index)) {}

DecodedWord decoded_form(uint32_t physical) {
  const int page = code_page_index(physical);
  const uint32_t index = (physical & 0xFFF) >> 2;
  const InstrFields f{
      static_cast<uint32_t>(load_big_endian(code_page_storage(page) + 4 * index, 4))};
  DecodedWord word{};
  DecodedOp op = operation_of(f);
  word.a = f.op() == kSpecialOpcode ? f.rd() : f.rt();
  // Register 0 reads as 0 within a batch, which is zeroed once at its start: a word that writes
  // it, which could leave a value there, runs on the exact path, all but the shifts of register 0
  // itself (NOP among them), which write 0.
  const bool writes_zero = word.a == 0 && writes_a(op) && !(op == op_sll && f.rt() == 0);
  // A branch that hands its slot over whenever it is taken is run on the exact path altogether.
  const int32_t target = static_cast<int32_t>(index) + 1 + static_cast<int16_t>(f.imm());
  const bool in_page = target >= 0 && target < 1024;
  const bool hands_over =
      (op == op_beq || op == op_bne) &&
      (!in_page || branch_may_stop(code_page_physical(page) + 4 * static_cast<uint32_t>(target)));
  if (writes_zero || hands_over || leads_to_a_stop(physical) || at_a_user_breakpoint(physical)) {
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
