#pragma once

#include <array>
#include <cstdint>

#include "machine/engines/engine.h"

// Skips the time a program spends waiting for the hardware. A waiting loop is a few instructions
// that read memory or registers which change only at the machine's events or at known moments (a
// counter of the clock's), work on what they read and branch back to their first, with nothing
// carried from one time round to the next: every register an instruction reads is either written
// earlier in the same time round or not at all. Every time round then does exactly what the one
// before did, so once one has run from the loop's first instruction, the clock moves on by whole
// times round up to the next event, the next change of what they read (or the budget): the
// machine is left exactly as running them would leave it, on every engine and in a replay. The
// console machine only.
class IdleLoops final : public ExecutionEngine {
 public:
  static constexpr uint32_t kLongest = 8;  // instructions, the branch's delay slot included

  // `exact` runs the first time round.
  explicit IdleLoops(ExecutionEngine& exact) : exact_(exact) {}

  // At a waiting loop's first instruction: one time round on the exact path, then the skip.
  // Nothing elsewhere, or when the observer must see fetches, or a stop lies in the loop.
  EngineRun run(uint32_t budget, RunObserver* observer) override;
  bool code_written(uint32_t physical) override;
  void forget_all() override;

  // Whether the exact path, on the console machine, should end its batch at `address`, just
  // jumped back to, for this engine to look: a loop there may wait.
  bool worth_a_look(uint32_t address) { return shape_at(address, false).length != 0; }

 private:
  // What the code at an address was: a waiting loop of `length` instructions, whose loads
  // (`loads`, a bit per instruction) take their addresses from registers the loop does not
  // write; or not one. Stores are not watched for it: the words are compared before a skip.
  struct Shape {
    uint32_t head = 1;  // never an instruction's address: no shape known
    uint8_t length = 0;
    uint8_t loads = 0;
    uint32_t words[kLongest] = {};
  };

  // The shape at `address`, analysed afresh if unknown or, when `checked`, if its words changed.
  // Inline: the exact path asks at every short jump back.
  const Shape& shape_at(uint32_t address, bool checked) {
    Shape& shape = shapes_[(address >> 2) % shapes_.size()];
    if (shape.head != address || (checked && !unchanged(shape))) shape = analyse(address);
    return shape;
  }
  static Shape analyse(uint32_t address);
  uint64_t reads_steady_until(const Shape& shape) const;
  static bool unchanged(const Shape& shape);
  bool stops_in(const Shape& shape) const;

  ExecutionEngine& exact_;
  std::array<Shape, 64> shapes_{};  // by the loop's first address
};
