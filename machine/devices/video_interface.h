#pragma once

#include <array>
#include <cstdint>

#include "machine/devices/clocks.h"
#include "memory/device.h"

// The Video Interface (0x04400000): VI_CTRL through VI_Y_SCALE, and its place in the frame. What
// it shows is video_scanout.h's.
//
// The VI counts half-lines: VI_V_CURRENT gives the line being scanned, in half-lines, computed
// from the clock whenever it is read. A line lasts what the TV type's standard gives it (NTSC and
// MPAL 15734.26 lines a second, PAL 15625), and a frame as many half-lines as VI_V_SYNC says
// (n64brew "Video Interface", LaC's hardware notes): an odd VI_V_SYNC scans one field of
// (VI_V_SYNC + 1) / 2 lines over and over, VI_V_CURRENT showing even half-lines; an even one
// interlaces two fields, the second's half-lines odd. Before a program sets VI_V_SYNC the frame
// is the standard's progressive one. The VI interrupt comes at the start of each line whose
// VI_V_CURRENT equals VI_V_INTR (Event::vi_interrupt); a write to VI_V_CURRENT lowers it.
class VideoInterface final : public Device {
 public:
  static constexpr uint32_t kFirst = 0x04400000;
  static constexpr uint32_t kRegisters = 14;
  static constexpr uint32_t kBytes = kRegisters * 4;

  enum Register : uint32_t {
    kCtrl = 0,
    kOrigin,
    kWidth,
    kVIntr,
    kVCurrent,
    kBurst,
    kVSync,
    kHSync,
    kHSyncLeap,
    kHVideo,
    kVVideo,
    kVBurst,
    kXScale,
    kYScale,
  };

  // Puts the VI at the start of a frame, now, for `tv`.
  void reset(TvType tv);
  // Event::vi_interrupt.
  void interrupt_reached();

  // How many lines the frame has, and the half-line VI_V_CURRENT shows on each.
  uint32_t frame_lines() const;
  uint32_t half_line(uint32_t frame_line) const;
  // The line of the frame being scanned at clock `now`.
  uint32_t frame_line_at(uint64_t now) const;
  // The frame line VI_V_CURRENT shows `half` on; frame_lines() for none.
  uint32_t frame_line_showing(uint32_t half) const;

  uint32_t read(uint32_t offset, uint32_t) override { return peek(offset); }
  void write(uint32_t offset, uint32_t value, uint32_t mask) override;
  uint32_t peek(uint32_t offset) const override;
  bool poke(uint32_t offset, uint32_t value, uint32_t mask) override;
  // VI_V_CURRENT until the next line begins.
  uint64_t read_steady_until(uint32_t offset) const override;

  TvType tv = TvType::ntsc;
  std::array<uint32_t, kRegisters> registers{};  // VI_V_CURRENT's is not used
  // The lines are counted from `counted_from`, when the frame's line `first_line` began.
  uint64_t counted_from = 0;
  uint32_t first_line = 0;
  // How many VI interrupts it has raised since the console's boot: the frames shown, for a run
  // that ends after a number of them.
  uint64_t interrupts_raised = 0;

 private:
  uint32_t v_sync() const;
  uint64_t lines_counted(uint64_t now) const;
  uint64_t line_start(uint64_t counted_line) const;
  void schedule_interrupt();
};
