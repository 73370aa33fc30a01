#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "machine/engines/decoded_words.h"
#include "machine/engines/engine.h"
#include "memory/memory_map.h"

// Runs instructions of plain storage (RDRAM, SP DMEM, SP IMEM) from decoded copies of their words,
// in batches, with exactly the effects the interpreter of the machine's processor model would have.
// Only a subset runs here (register arithmetic, the branches and jumps, loads and stores within
// plain storage); a batch ends before anything else, which the run loop then executes on the exact
// path, and so before anything the complete model would raise an exception for.
//
// A word is decoded when it is first run and again after anything stores into it; every copy is
// dropped when a run starts or resumes after a pause, since the window thread may have written
// memory or changed the user breakpoints meanwhile. Run thread only, or with the run thread
// parked.
class DecodedEngine final : public ExecutionEngine {
 public:
  DecodedEngine() = default;
  DecodedEngine(const DecodedEngine&) = delete;
  DecodedEngine& operator=(const DecodedEngine&) = delete;

  // Runs nothing while a delay slot is pending, or with no budget (`fast_budget`). Otherwise runs
  // from `cpu.pc` and stops early before an instruction outside the subset or at a user
  // breakpoint's address, when pc leaves the page, and after an instruction that may leave pc on a
  // stop address (a branch or jump also when its continuation, the target minus 4, may be one).
  EngineRun run(uint32_t budget, RunObserver* observer) override;

  // Drops the decoded word holding the byte at `physical`.
  bool code_written(uint32_t physical) override;

  // Drops every decoded word.
  void forget_all() override { ++generation_; }

 private:
  uint32_t run_batch(uint32_t budget);
  DecodedPage* page_holding(uint32_t physical, const void* const* handlers);
  template <uint32_t size>
  void forget_stored(uint32_t physical);

  std::array<std::unique_ptr<DecodedPage>, kCodePages> pages_;
  uint32_t generation_ = 1;
  const void* decode_handler_ = nullptr;  // the run loop's place for a word to decode again
};

// The machine object owns it: machine/object/machine.h.
extern DecodedEngine& decoded_engine;
