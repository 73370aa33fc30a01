#pragma once

#include <cstdint>

// Something that watches the fetches and the instructions of a run or a step (korvel-cli's trace
// and instruction limit, the history's replay). A run without one pays nothing for it.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // How many instructions may run before the observer must see the next fetch: 0 to see every
  // one (a trace), the instructions left (a limit). Instructions run in batches do not show their
  // fetches.
  virtual uint64_t unseen_allowed() = 0;
  virtual void fetched(uint32_t address, uint32_t word) = 0;
  // After the run loop completes `count` instructions without ending.
  virtual void instructions_done(uint64_t count) = 0;
};

// What an engine ran.
struct EngineRun {
  uint32_t instructions = 0;     // 0: the next instruction is not one this engine runs
  bool not_carried_out = false;  // the last one was not carried out (it has named itself)
};

// One way of carrying instructions out. The run loop asks its engines in turn, fastest first, and
// the exact path, last, runs any instruction; a single step is a run of one on the exact path.
//
// Whatever an engine runs leaves the machine exactly as the exact path would after the same
// instructions: registers, pc and the delay-slot hand-over, memory, `current_instruction` and
// `opcode_name`. Each advances the machine's clock, and with it Count, by what it runs. An engine
// that runs a batch stops it where the run loop must look: after an instruction that may leave pc
// on a stop address, and before a word at a user breakpoint. Run thread only, or with the run
// thread parked.
class ExecutionEngine {
 public:
  virtual ~ExecutionEngine() = default;

  // Runs instructions from where the machine stands: at most `budget`, and no more than the
  // observer's `unseen_allowed` without showing their fetches to it. The exact path runs at least
  // one, and shows its fetch when the observer lets none pass unseen.
  virtual EngineRun run(uint32_t budget, RunObserver* observer) = 0;

  // Drops what the engine made from the byte at `physical` in a code page, which has been stored
  // into. True when it dropped translated code, which the code storing may be part of.
  virtual bool code_written(uint32_t physical) = 0;

  // Drops everything it made (a run starts or resumes after a pause: memory or the breakpoints
  // may have changed meanwhile).
  virtual void forget_all() = 0;
};
