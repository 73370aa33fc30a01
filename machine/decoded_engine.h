#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "machine/decoded_words.h"
#include "memory/memory_map.h"

// Runs instructions of plain storage (RDRAM, SP DMEM, SP IMEM) from decoded copies of their words,
// in batches, with exactly the effects the interpreter would have. Only a subset runs here
// (register arithmetic, the branches and jumps, loads and stores within plain storage); a batch
// ends before anything else, which the run loop then executes on the exact path.
//
// A word is decoded when it is first run and again after anything stores into it; every copy is
// dropped when a run starts or resumes after a pause, since the window thread may have written
// memory or changed the user breakpoints meanwhile. Run thread only, or with the run thread
// parked.
class DecodedEngine final {
 public:
  DecodedEngine() = default;
  DecodedEngine(const DecodedEngine&) = delete;
  DecodedEngine& operator=(const DecodedEngine&) = delete;

  // Runs at most `budget` (1 or more) instructions from `cpu.pc`, with no delay slot pending, and
  // returns how many ran: 0 when the first is not one this engine runs. It stops early before an
  // instruction outside the subset or at a user breakpoint's address, when pc leaves the page, and
  // after an instruction that leaves pc on 0x040000A8 or 0x040000B0 (a taken branch also when its
  // continuation, the target minus 4, is one). Afterwards `pc`, the delay-slot hand-over,
  // `current_instruction` and `opcode_name` are as the interpreter leaves them; Count is the run
  // loop's to advance.
  uint32_t run(uint32_t budget);

  // Drops every decoded word.
  void forget_all() { ++generation_; }

  // Drops the decoded word holding the byte at `physical`.
  void code_written(uint32_t physical);

 private:
  DecodedPage* page_holding(uint32_t physical, const void* const* handlers);
  void forget_stored_word(uint32_t physical);

  std::array<std::unique_ptr<DecodedPage>, kCodePages> pages_;
  uint32_t generation_ = 1;
  const void* decode_handler_ = nullptr;  // the run loop's place for a word to decode again
};

extern DecodedEngine decoded_engine;
