#include "machine/engines/block_translator.h"

#include <chrono>
#include <cstring>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/fpu_quick.h"
#include "cpu/r4300i/interpreter.h"
#include "machine/engines/batch_end.h"
#include "machine/engines/copied_words.h"
#include "machine/engines/fast_budget.h"
#include "machine/engines/fixed_translation.h"
#include "machine/stops/stops.h"

namespace {

namespace x86 = asmjit::x86;

constexpr std::size_t kCodeBytes = 32 << 20;
// More than the longest block's code, so a block that starts fits.
constexpr std::size_t kRoomForABlock = 64 << 10;
constexpr uint32_t kLongestBlock = 64;  // words
constexpr uint32_t kNoWord = 1;         // an empty lookup entry: never a word's address

// Copies the code `holder` holds, laid out for `base`, to `destination`; its size, or 0.
std::size_t place(asmjit::CodeHolder& holder, uint64_t base, uint8_t* destination,
                  std::size_t room) {
  if (holder.flatten() || holder.resolveUnresolvedLinks() || holder.relocateToBase(base)) return 0;
  const std::size_t size = holder.codeSize();
  if (size > room || holder.copyFlattenedData(destination, size)) return 0;
  return size;
}

// The FPU's computing words run through the interpreter's declining handlers, in a delay slot too,
// and its moves to and from the integer registers in translated code; its control registers are
// left to the others.
bool translates(const DecodedWord& word) {
  if (word.op == op_fpu) {
    return moves_between_register_files(word) ||
           r4300i::declining_fpu_handler(InstrFields{word.word}) != nullptr;
  }
  return operation(word.op).translated;
}

bool translates_in_a_slot(const DecodedWord& word) {
  return translates(word) && (runs_in_a_slot(word.op) || word.op == op_fpu);
}

}  // namespace

bool BlockTranslator::available() {
  if (!mapping_tried_) {
    mapping_tried_ = true;
    map_code_region();
  }
  return executable_ != nullptr;
}

bool BlockTranslator::map_code_region() {
  // Translated code swaps the byte order of memory as it moves it.
  if (!asmjit::CpuInfo::host().features().x86().hasMOVBE()) return false;
  asmjit::JitAllocator::CreateParams params;
  params.options = asmjit::JitAllocatorOptions::kUseDualMapping;
  allocator_ = std::make_unique<asmjit::JitAllocator>(&params);
  void* executable = nullptr;
  void* writable = nullptr;
  if (allocator_->alloc(&executable, &writable, kCodeBytes) != asmjit::kErrorOk) return false;
  asmjit::CodeHolder holder;
  holder.init(asmjit::Environment::host(), reinterpret_cast<uint64_t>(executable));
  x86::Assembler a(&holder);
  const asmjit::Label leave = a.newLabel();
  if (!emit_trampoline(a, leave, context_)) {
    allocator_->release(executable);
    return false;
  }
  trampoline_size_ = place(holder, reinterpret_cast<uint64_t>(executable),
                           static_cast<uint8_t*>(writable), kCodeBytes);
  if (trampoline_size_ == 0) {
    allocator_->release(executable);
    return false;
  }
  executable_ = static_cast<uint8_t*>(executable);
  writable_ = static_cast<uint8_t*>(writable);
  leave_ = reinterpret_cast<uint64_t>(executable) + holder.labelOffsetFromBase(leave);
  enter_ = reinterpret_cast<decltype(enter_)>(executable);
  statistics_.code_bytes = kCodeBytes;
  flush();
  return true;
}

BlockTranslator::~BlockTranslator() {
  if (executable_) allocator_->release(executable_);
}

uint8_t* BlockTranslator::writable(const uint8_t* executable) const {
  return writable_ + (executable - executable_);
}

void BlockTranslator::keep_stores_checked() {
  if (stores_unchecked_ && code_pages.rdram_pages_copied != 0) flush();
}

void BlockTranslator::flush() {
  stores_unchecked_ = false;
  blocks_.clear();
  for (std::vector<Block*>& page : blocks_in_page_) page.clear();
  for (JrEntry& entry : jr_table_) entry = {kNoWord, 0, nullptr};
  used_ = (trampoline_size_ + 63) & ~std::size_t{63};
  ++flushes_;
}

BlockTranslator::Block* BlockTranslator::block_at(uint32_t pc) {
  auto found = blocks_.find(pc);
  if (found == blocks_.end()) return translate(pc);
  return found->second->code ? found->second.get() : nullptr;
}

BlockTranslator::Block* BlockTranslator::translate(uint32_t pc) {
  const uint32_t physical = fixed_physical(pc);
  const int page = code_page_index(physical);
  if ((pc & 3) != 0 || page < 0) return nullptr;
  const auto started = std::chrono::steady_clock::now();

  // Straight-line words up to a jump, a branch or jump with its delay slot, a word not translated
  // or the page's end. The jumps that reach a stop address through their slot are left to the
  // others.
  BlockSource source{pc, {}};
  for (uint32_t address = physical; code_page_index(address) == page; address += 4) {
    DecodedWord word = decoded_form(address);
    if (!translates(word) || source.words.size() >= kLongestBlock) break;
    if (is_branch(word.op) || is_delayed_jump(word.op)) {
      const uint32_t at = pc + 4 * static_cast<uint32_t>(source.words.size());
      if (code_page_index(address + 4) != page) break;
      if (is_delayed_jump(word.op) && jumps_to_field(word.op) &&
          may_stop_through_slot(field_jump_target(at, word))) {
        break;
      }
      DecodedWord slot = decoded_form(address + 4);
      if (!translates_in_a_slot(slot)) break;
      source.words.push_back(word);
      source.words.push_back(slot);
      break;
    }
    source.words.push_back(word);
    if (is_jump(word.op)) break;
  }
  if (source.words.empty()) {
    remember_refusal(pc, physical);
    return nullptr;
  }

  if (kCodeBytes - used_ < kRoomForABlock) {
    flush();
    ++statistics_.flushes_when_full;
  }
  mark_code_page_copied(page);
  keep_stores_checked();
  const uint64_t base = reinterpret_cast<uint64_t>(executable_ + used_);
  asmjit::CodeHolder holder;
  holder.init(asmjit::Environment::host(), base);
  x86::Assembler a(&holder);
  const EmitterTables tables{leave_, jr_table_.data(), &store_hook,
                             code_pages.rdram_pages_copied == 0, &context_};
  stores_unchecked_ |= tables.rdram_stores_unchecked;
  if (!emit_block(a, source, tables)) return nullptr;
  const std::size_t size = place(holder, base, writable_ + used_, kCodeBytes - used_);
  if (size == 0) return nullptr;

  auto block = std::make_unique<Block>(
      Block{pc, physical, static_cast<uint32_t>(source.words.size()), executable_ + used_, {}});
  used_ = (used_ + size + 63) & ~std::size_t{63};
  blocks_in_page_[page].push_back(block.get());
  for (uint32_t k = 0; k < block->length; ++k) mark_code_word_copied(physical + 4 * k);
  Block* made = block.get();
  blocks_[pc] = std::move(block);
  ++statistics_.blocks;
  statistics_.translation_seconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return made;
}

// A word the others run stays so until it is stored into: a block without code stands for it,
// covering the word after too (a delay slot may be why), so that the run loop's turns there find
// it at once rather than decoding it again (a loop that polls Count, say), and a store into either
// drops it as it drops any block.
void BlockTranslator::remember_refusal(uint32_t pc, uint32_t physical) {
  const int page = code_page_index(physical);
  const uint32_t length = code_page_index(physical + 4) == page ? 2 : 1;
  auto refusal = std::make_unique<Block>(Block{pc, physical, length, nullptr, {}});
  mark_code_page_copied(page);
  for (uint32_t k = 0; k < length; ++k) mark_code_word_copied(physical + 4 * k);
  blocks_in_page_[page].push_back(refusal.get());
  blocks_[pc] = std::move(refusal);
}

void BlockTranslator::link(uint64_t site, Block& target) {
  uint8_t* after = reinterpret_cast<uint8_t*>(site);
  int32_t unlinked;
  std::memcpy(&unlinked, writable(after - 4), 4);
  const int32_t linked = static_cast<int32_t>(target.code - after);
  std::memcpy(writable(after - 4), &linked, 4);
  target.links_in.push_back({after, unlinked});
}

void BlockTranslator::kill(Block* block) {
  for (const Link& link : block->links_in) std::memcpy(writable(link.site - 4), &link.unlinked, 4);
  JrEntry& entry = jr_table_[(block->pc >> 2) & (kJrEntries - 1)];
  if (entry.code == block->code) entry = {kNoWord, 0, nullptr};
  std::vector<Block*>& page = blocks_in_page_[code_page_index(block->physical)];
  std::erase(page, block);
  blocks_.erase(block->pc);
}

bool BlockTranslator::code_written(uint32_t physical) {
  const int page = code_page_index(physical);
  if (page < 0 || !code_word_copied[code_word_index(physical)]) return false;
  bool dropped = false;
  std::vector<Block*>& blocks = blocks_in_page_[page];
  // Downwards, as each drop takes its block out of the list.
  for (std::size_t i = blocks.size(); i-- > 0;) {
    if (physical - blocks[i]->physical < 4 * blocks[i]->length) {
      kill(blocks[i]);
      dropped = true;
    }
  }
  return dropped;
}

int BlockTranslator::store_hook(uint32_t page, uint32_t from_rdram, uint32_t bytes) {
  const uint32_t physical = code_page_physical(static_cast<int>(page)) + (from_rdram & 0xFFF);
  // The bytes are aligned on their number: the words holding them are dropped whole.
  bool dropped = false;
  for (uint32_t k = 0; k < bytes; k += 4) dropped |= report_code_write(physical + k);
  return dropped;
}

EngineRun BlockTranslator::run(uint32_t budget, RunObserver* observer) {
  if (cpu.delay_slot_pending) return {};
  budget = fast_budget(budget, observer);
  if (budget == 0 || !available()) return {};
  const uint32_t ran = run_blocks(budget);
  advance_clock(ran);
  return {ran};
}

uint32_t BlockTranslator::run_blocks(uint32_t budget) {
  if (flush_pending_) {
    flush();
    flush_pending_ = false;
  }
  keep_stores_checked();
  Block* block = block_at(cpu.pc);
  // Translated code rounds the FPU's common cases with the host's SSE, which must round to nearest
  // as it does unless something has changed MXCSR; every call out of translated code restores it.
  if (!block || !r4300i::fpu::quick::host_rounds_to_nearest()) return 0;
  cpu.gpr[0] = 0;
  uint64_t left = budget;
  for (;;) {
    const uint64_t flushes_before = flushes_;
    context_.exit = JitExit::stopped;
    left = enter_(&cpu, left, block->code);
    if (context_.exit == JitExit::stopped || left == 0) break;
    Block* next = block_at(cpu.pc);
    if (!next) break;
    // A flush on the way has taken the jump to patch with it.
    if (flushes_ == flushes_before) {
      if (context_.exit == JitExit::link) {
        link(context_.link_site, *next);
      } else {
        jr_table_[(next->pc >> 2) & (kJrEntries - 1)] = {next->pc, 0, next->code};
      }
    }
    block = next;
  }
  const uint32_t ran = budget - static_cast<uint32_t>(left);
  if (ran != 0) name_after_batch(cpu.current_instruction);
  return ran;
}
