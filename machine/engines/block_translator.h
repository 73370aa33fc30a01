#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "machine/engines/block_emitter.h"
#include "machine/engines/engine.h"
#include "memory/memory_map.h"

// Translates blocks of the decoded engine's subset into x86-64 and runs them, with the decoded
// engine's contract: a budget, Count exact at every exit, every transfer to a stop address or a
// user breakpoint an exit, anything else left to the exact path before it runs.
//
// A block is a run of words within one 4 KB page of RDRAM or an SP memory, keyed by the address
// the program runs it at, ending with a jump, a branch and its delay slot, or before a word the
// translator does not run. Blocks jump into each other directly once both exist (the jump is
// patched), a JR through a lookup table, or for the complete model back to the JAL that called
// (see kReturnFrames). A store into a page holding translated words drops the
// blocks it touches, through every alias, and unpatches the jumps into them. Everything is dropped
// when a run starts or resumes after a pause.
//
// The code lives in one region of 32 MB mapped twice, once to write and once to execute, so that
// no page is ever writable and executable at once; when it is full, everything is dropped and
// translation starts afresh. The region is mapped when a run first asks for the translator, so a
// program that never runs one (korvel-cli disasm) never maps it. Translated code needs MOVBE
// (every x86-64 processor since about 2013 has it); without it the translator is not to be had. Run
// thread only, or with the run thread parked.
class BlockTranslator final : public ExecutionEngine {
 public:
  BlockTranslator() = default;
  ~BlockTranslator() override;
  BlockTranslator(const BlockTranslator&) = delete;
  BlockTranslator& operator=(const BlockTranslator&) = delete;

  // Whether the code region can be had, mapping it the first time; without it nothing is
  // translated.
  bool available();

  // Runs nothing while a delay slot is pending, with no budget (`fast_budget`), or without the
  // code region.
  EngineRun run(uint32_t budget, RunObserver* observer) override;

  // Drops the blocks holding the byte at `physical`; true when there were any.
  bool code_written(uint32_t physical) override;

  // Drops every block before the next run.
  void forget_all() override { flush_pending_ = true; }

  struct Statistics {
    uint64_t blocks = 0;             // translated since start-up
    double translation_seconds = 0;  // spent translating them
    uint64_t flushes_when_full = 0;  // times the code region filled up
    std::size_t code_bytes = 0;      // mapped for code: none until a run asks for the translator
  };
  const Statistics& statistics() const { return statistics_; }

 private:
  struct Link {
    uint8_t* site;  // executable address just past the patched rel32
    int32_t unlinked;
  };
  struct Block {
    uint32_t pc;
    uint32_t physical;
    uint32_t length;      // words
    const uint8_t* code;  // none for a word left to the others
    std::vector<Link> links_in;
  };

  bool map_code_region();
  // Drops every block once an RDRAM page holds copies, if some block stores without looking.
  void keep_stores_checked();
  uint32_t run_blocks(uint32_t budget);
  Block* block_at(uint32_t pc);  // none where the translator leaves the word to the others
  void remember_refusal(uint32_t pc, uint32_t physical);
  Block* translate(uint32_t pc);
  void link(uint64_t site, Block& target);
  void kill(Block* block);
  void flush();
  uint8_t* writable(const uint8_t* executable) const;
  static int store_hook(uint32_t page, uint32_t from_rdram, uint32_t bytes);

  // Made at the first run that wants code memory; it outlives the code it gave out, since the
  // translator releases that before its members go.
  std::unique_ptr<asmjit::JitAllocator> allocator_;
  uint8_t* executable_ = nullptr;
  uint8_t* writable_ = nullptr;
  std::size_t used_ = 0;
  std::size_t trampoline_size_ = 0;
  bool mapping_tried_ = false;
  bool stores_unchecked_ = false;  // a block stores into RDRAM without looking for copies
  uint64_t (*enter_)(void* cpu, uint64_t budget, const void* code) = nullptr;
  uint64_t leave_ = 0;

  std::unordered_map<uint32_t, std::unique_ptr<Block>> blocks_;
  std::array<std::vector<Block*>, kCodePages> blocks_in_page_;
  std::array<JrEntry, kJrEntries> jr_table_{};
  JitContext context_{};
  bool flush_pending_ = true;
  uint64_t flushes_ = 0;
  Statistics statistics_;
};

// The machine object owns it: machine/object/machine.h.
extern BlockTranslator& block_translator;
