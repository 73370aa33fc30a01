#pragma once

#include <cstdint>
#include <optional>

#include "cpu/cpu_model.h"
#include "machine/engines/engine.h"
#include "machine/machine_state.h"

// Watches a run or the steps for `--trace`, `--limit` and `--frames`.
class RunWatcher final : public RunObserver {
 public:
  // `frames` counts the VI interrupts raised from now on.
  RunWatcher(bool trace, std::optional<uint64_t> limit, std::optional<uint64_t> frames,
             CpuModel model);

  // The observer to hand to the run or the steps: none when there is nothing to watch, so that
  // the plain run loop pays nothing.
  RunObserver* observer() { return trace_ || limit_ || last_frame_ ? this : nullptr; }

  // A trace sees every fetch; a limit lets the instructions up to it run unseen; once the last
  // frame has begun, the one instruction left to run is seen.
  uint64_t unseen_allowed() override;
  // Prints the fetched word as a listing line, from the word itself: memory is not read again.
  void fetched(uint32_t address, uint32_t word) override;
  // Clears `running`, as Pause CPU does, once the limit's number of instructions has been done,
  // or after the instruction that follows the last frame's VI interrupt.
  void instructions_done(uint64_t count) override;

  // Read once the run thread has ended.
  bool limit_reached() const { return limit_reached_; }
  bool frames_reached() const { return frames_reached_; }

 private:
  bool last_frame_begun() const;

  bool trace_;
  std::optional<uint64_t> limit_;
  std::optional<uint64_t> last_frame_;  // the VI interrupts raised since the boot at the end
  CpuModel model_;
  uint64_t done_ = 0;
  bool limit_reached_ = false;
  bool frames_reached_ = false;
  MessageText line_;
};
