// The devices that count time from the clock: the VI's lines and interrupt, the AI's buffers;
// and the registers that only hold what the boot code leaves (DP, RI, RDRAM's).
#include <gtest/gtest.h>

#include "tests/machine/devices/console_fixture.h"

namespace {

constexpr uint32_t kVIntr = 0xA440000C;
constexpr uint32_t kVCurrent = 0xA4400010;
constexpr uint32_t kVSync = 0xA4400018;

uint64_t due(Event event) {
  return scheduler.due[static_cast<std::size_t>(event)];
}

// Where NTSC's line `line` begins: a line is 5958 1/3 cycles.
uint64_t ntsc_line(uint64_t line) {
  return (line * 17875 + 2) / 3;
}

TEST_F(ConsoleTest, VCurrentCountsHalfLinesOfTheFrameFromTheClock) {
  EXPECT_EQ(load_word(kVCurrent), 0u);
  advance_to(ntsc_line(1) - 1);
  EXPECT_EQ(load_word(kVCurrent), 0u);
  advance_to(ntsc_line(1));
  EXPECT_EQ(load_word(kVCurrent), 2u);
  // Before VI_V_SYNC is set the frame is NTSC's progressive one, 263 lines.
  advance_to(ntsc_line(262));
  EXPECT_EQ(load_word(kVCurrent), 524u);
  advance_to(ntsc_line(263));
  EXPECT_EQ(load_word(kVCurrent), 0u);

  // Interlaced: 525 lines, the second field's half-lines odd.
  const uint64_t from = scheduler.now;
  store_word(kVSync, 0x20C);
  advance_to(from + ntsc_line(262));
  EXPECT_EQ(load_word(kVCurrent), 524u);
  advance_to(from + ntsc_line(263) - 1);
  EXPECT_EQ(load_word(kVCurrent), 524u);
  advance_to(from + ntsc_line(263));
  EXPECT_EQ(load_word(kVCurrent), 1u);
  advance_to(from + ntsc_line(525));
  EXPECT_EQ(load_word(kVCurrent), 0u);

  // PAL's lines are 6000 cycles, its frame 313 lines.
  console_devices.reset(TvType::pal);
  const uint64_t pal = scheduler.now;
  advance_to(pal + 6000);
  EXPECT_EQ(load_word(kVCurrent), 2u);
  advance_to(pal + 313 * 6000);
  EXPECT_EQ(load_word(kVCurrent), 0u);
}

TEST_F(ConsoleTest, TheViInterruptComesAsTheLineBeginsUntilVCurrentIsWritten) {
  EXPECT_EQ(due(Event::vi_interrupt), Scheduler::kNever);  // VI_V_INTR at power on
  store_word(kVIntr, 0x200);
  EXPECT_EQ(due(Event::vi_interrupt), ntsc_line(256));
  advance_to(ntsc_line(256) - 1);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::vi));
  advance(1);
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::vi));
  EXPECT_EQ(load_word(kVCurrent), 0x200u);
  store_word(kVCurrent, 0);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::vi));
  EXPECT_EQ(due(Event::vi_interrupt), ntsc_line(256 + 263));
  // Each one raised is counted, whether or not the last was lowered.
  advance_to(ntsc_line(256 + 2 * 263));
  EXPECT_EQ(console_devices.vi.interrupts_raised, 3u);
  // A half-line the frame never shows: no interrupt.
  store_word(kVIntr, 0x201);
  EXPECT_EQ(due(Event::vi_interrupt), Scheduler::kNever);
}

TEST_F(ConsoleTest, AiPlaysTwoBuffersAtTheDacRate) {
  store_word(0xA4500010, 1103);  // 44.1 kHz on NTSC's video clock
  store_word(0xA4500000, 0x4000);
  store_word(0xA4500004, 8192);
  EXPECT_EQ(load_word(0xA450000C), 1u << 30);  // given, but DMA is not enabled: not playing
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::ai));
  store_word(0xA4500008, 1);
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::ai));  // as it starts
  store_word(0xA450000C, 0);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::ai));
  store_word(0xA4500004, 4096);
  EXPECT_EQ(load_word(0xA450000C), 0xC2000001u);  // full, busy, enabled
  store_word(0xA4500004, 64);                     // no room
  // 2048 samples of 1104 video clock ticks.
  const uint64_t first_end = scheduler.now + 4354152;
  EXPECT_EQ(due(Event::ai_buffer), first_end);
  EXPECT_EQ(load_word(0xA4500004), 8192u);
  advance(4354152 / 2);
  EXPECT_EQ(load_word(0xA4500004), 4096u);
  EXPECT_EQ(load_word(0xA4500000), 4096u);  // every register but AI_STATUS reads AI_LENGTH
  advance_to(first_end);
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::ai));
  EXPECT_EQ(load_word(0xA4500004), 4096u);
  EXPECT_EQ(load_word(0xA450000C), 0x42000000u);
  advance_to(first_end + 2177076);
  EXPECT_EQ(load_word(0xA450000C), 0x02000000u);
  EXPECT_EQ(load_word(0xA4500004), 0u);
}

TEST_F(ConsoleTest, DpRiAndRdramRegistersHoldWhatTheBootCodeNeeds) {
  EXPECT_EQ(load_word(0xA470000C), 0x14u);  // RI_SELECT: RDRAM set up, a warm boot
  EXPECT_EQ(load_word(0xA4700000), 0x0Eu);
  store_word(0xA3F00008, 0x12345678);
  EXPECT_EQ(load_word(0xA3F00408), 0x12345678u);  // every module's window
  EXPECT_EQ(load_word(0xA3F80008), 0x12345678u);  // and the one to all

  store_word(0xA410000C, 1u << 1 | 1u << 3);  // set XBUS and freeze
  store_word(0xA410000C, 1u << 2);            // clear freeze
  EXPECT_EQ(load_word(0xA410000C), 1u | 1u << 7);
  store_word(0xA4100000, 0x1003);
  EXPECT_EQ(load_word(0xA410000C) & (1u << 10), 1u << 10);  // start valid
  store_word(0xA4100004, 0x1100);
  EXPECT_EQ(load_word(0xA4100008), 0x1100u);
  EXPECT_EQ(load_word(0xA4100000), 0x1000u);
  EXPECT_EQ(load_word(0xA410000C), 1u | 1u << 7);
  store_word(0xA4200004, 7);
  EXPECT_EQ(load_word(0xA4200004), 7u);
}

}  // namespace
