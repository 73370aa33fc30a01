#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/devices/console_devices.h"
#include "memory/hooks.h"
#include "tests/support/core_fixture.h"

// The console's devices alone, mapped as the console machine maps them, with the machine's clock
// moved by hand.
class ConsoleTest : public CoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A word stored and loaded as the processor's SW and LW reach it: a byte at a time.
  static void store_word(uint32_t address, uint32_t value);
  static uint32_t load_word(uint32_t address);
  // The clock moved on to `now`, taking the events due on the way, as the run loop does.
  static void advance_to(uint64_t now);
  static void advance(uint64_t cycles) { advance_to(scheduler.now + cycles); }
  // Runs the clock until no device event is due.
  static void settle();

  struct DmaRun {
    uint32_t physical;
    uint32_t length;
    DmaSource source;
    bool operator==(const DmaRun&) const = default;
  };
  class RecordingOutput final : public TextOutput, public DmaWatch {
   public:
    void write_text(const char* text, size_t length) override { text_.append(text, length); }
    void dma_written(uint32_t physical, uint32_t length, DmaSource source) override {
      runs_.push_back({physical, length, source});
    }
    std::string text_;
    std::vector<DmaRun> runs_;
  };
  RecordingOutput watched;
};
