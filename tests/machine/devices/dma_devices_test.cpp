// MI's interrupt lines, and the PI's and SP's DMA: their registers, their time on the clock and
// the bytes they move.
#include <gtest/gtest.h>

#include <algorithm>

#include "cpu/cpu_state.h"
#include "cpu/r4300i/cop0.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "tests/machine/devices/console_fixture.h"
#include "tests/support/rom_image.h"

namespace {

bool rcp_pending() {
  return (cpu.cp0[r4300i::kCause] & kCauseRcpPending) != 0;
}

uint64_t due(Event event) {
  return scheduler.due[static_cast<std::size_t>(event)];
}

TEST_F(ConsoleTest, MiMaskSetsCauseIp2WhileARaisedLineIsUnmasked) {
  cpu.cp0[r4300i::kCause] = r4300i::kCauseTimerPending;
  EXPECT_EQ(load_word(0xA4300004), 0x02020102u);
  mips_interface.raise(RcpInterrupt::pi);
  EXPECT_EQ(load_word(0xA4300008), 0x10u);
  EXPECT_FALSE(rcp_pending());

  store_word(0xA430000C, 0x0200 | 0x0008);  // set PI, set SI
  EXPECT_EQ(load_word(0xA430000C), 0x12u);
  EXPECT_TRUE(rcp_pending());
  store_word(0xA430000C, 0x0300);  // both of PI's pair: no change
  EXPECT_EQ(load_word(0xA430000C), 0x12u);
  store_word(0xA430000C, 0x0100);  // clear PI
  EXPECT_FALSE(rcp_pending());
  mips_interface.raise(RcpInterrupt::si);
  EXPECT_TRUE(rcp_pending());
  mips_interface.lower(RcpInterrupt::si);
  EXPECT_FALSE(rcp_pending());
  EXPECT_EQ(cpu.cp0[r4300i::kCause], r4300i::kCauseTimerPending);  // the rest of Cause stays

  store_word(0xA4300008, 0);  // MI_INTERRUPT is only read
  EXPECT_EQ(load_word(0xA4300008), 0x10u);
  // MI_MODE: the repeat count as written, the pairs, and the DP interrupt's clear bit.
  mips_interface.raise(RcpInterrupt::dp);
  store_word(0xA4300000, 0x2000 | 0x0100 | 0x0800 | 15);
  EXPECT_EQ(load_word(0xA4300000), 0x200u | 0x80 | 15);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::dp));
  store_word(0xA4300000, 0x1000 | 0x0080);  // and a repeat count of 0
  EXPECT_EQ(load_word(0xA4300000), 0u);
  // The four registers repeat through the block.
  EXPECT_EQ(load_word(0xA4300014), 0x02020102u);
}

class PiTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    RomImage image;
    for (int i = 0; i < 2048; ++i) image.cartridge.push_back(static_cast<uint8_t>(i * 7 + 3));
    cartridge = image.cartridge;
    ASSERT_TRUE(open_rom_image(dir.write("cart.z64", image.native()).c_str()));
  }

  TempDir dir;
  std::vector<uint8_t> cartridge;
};

TEST_F(PiTest, AnOddDmaMovesItsBytesWhenItEndsAtTheDomainsRate) {
  store_word(0xA4600000, 0x00000101);  // bit 0 of both addresses stays clear
  store_word(0xA4600004, 0x10001001);
  EXPECT_EQ(load_word(0xA4600000), 0x100u);
  EXPECT_EQ(load_word(0xA4600004), 0x10001000u);
  code_pages.written[0] = 0;
  store_word(0xA460000C, 2);             // three bytes into RDRAM
  EXPECT_EQ(load_word(0xA4600010), 1u);  // busy
  EXPECT_EQ(load_word(0xA460000C), 0x7Fu);
  // One page: LAT+1 = 65 RCP cycles, two 16-bit words of PWD+1 + RLS+1 = 23; 111 RCP cycles are
  // 166.5 processor cycles.
  EXPECT_EQ(due(Event::pi_dma), scheduler.now + 167);
  advance(166);
  EXPECT_EQ(memory.rdram[0x100], 0);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::pi));
  advance(1);
  EXPECT_EQ(load_word(0xA4600010), 8u);  // idle, interrupt
  EXPECT_TRUE(std::equal(cartridge.begin(), cartridge.begin() + 3, memory.rdram + 0x100));
  EXPECT_EQ(memory.rdram[0x103], 0);
  EXPECT_EQ(watched.runs_, (std::vector<DmaRun>{{0x100, 3, DmaSource::pi}}));
  EXPECT_EQ(code_pages.written[0], 1);
  // PI_DRAM_ADDR ends at the next 8-byte word, PI_CART_ADDR at the next 16-bit one.
  EXPECT_EQ(load_word(0xA4600000), 0x108u);
  EXPECT_EQ(load_word(0xA4600004), 0x10001004u);
  store_word(0xA4600010, 2);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::pi));

  // Two pages: the second costs its latency again.
  EXPECT_EQ(console_devices.pi.dma_cycles(0x100011FE, 4), (2 * 65 + 2 * 23) * 3 / 2u);
}

TEST_F(PiTest, ADmaStartingWithinAnRdramWordMovesThatManyBytesFewer) {
  store_word(0xA4600000, 0x10A);
  store_word(0xA4600004, 0x10001000);
  store_word(0xA460000C, 15);
  settle();
  EXPECT_TRUE(std::equal(cartridge.begin(), cartridge.begin() + 14, memory.rdram + 0x10A));
  EXPECT_EQ(watched.runs_, (std::vector<DmaRun>{{0x10A, 14, DmaSource::pi}}));
  EXPECT_EQ(load_word(0xA4600000), 0x118u);
  EXPECT_EQ(load_word(0xA4600004), 0x10001010u);

  // One that would end before its start moves nothing.
  store_word(0xA4600000, 0x206);
  store_word(0xA460000C, 3);
  settle();
  EXPECT_EQ(watched.runs_.size(), 1u);
  EXPECT_EQ(load_word(0xA4600000), 0x208u);
}

TEST_F(PiTest, RdramAddressesWrapOnTheBusAndStopAtTheInstalledMemory) {
  store_word(0xA4600000, 0x007FFFF8);
  store_word(0xA4600004, 0x10001000);
  store_word(0xA460000C, 11);
  settle();
  EXPECT_TRUE(std::equal(cartridge.begin() + 8, cartridge.begin() + 12, memory.rdram));
  EXPECT_EQ(watched.runs_, (std::vector<DmaRun>{{0, 4, DmaSource::pi}}));

  // Bytes to the cartridge go nowhere, and take their time just the same.
  std::vector<uint8_t> before(memory.rdram, memory.rdram + 64);
  store_word(0xA4600010, 2);
  store_word(0xA4600000, 0);
  store_word(0xA4600008, 63);
  settle();
  EXPECT_TRUE(std::equal(before.begin(), before.end(), memory.rdram));
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::pi));
}

TEST_F(PiTest, ADmaStartedWhileBusyIsAnErrorAndResetStopsTheDma) {
  store_word(0xA4600000, 0x200);
  store_word(0xA4600004, 0x10001000);
  store_word(0xA460000C, 255);
  store_word(0xA460000C, 255);
  EXPECT_EQ(load_word(0xA4600010), 5u);  // busy, error
  store_word(0xA4600010, 1);             // reset the DMA
  EXPECT_EQ(load_word(0xA4600010), 0u);
  advance(1000000);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::pi));
  EXPECT_EQ(memory.rdram[0x200], 0);
  EXPECT_TRUE(watched.runs_.empty());
}

TEST_F(ConsoleTest, SpDmaRowsSkipInRdramAndWrapInTheirMemory) {
  EXPECT_EQ(load_word(0xA4040010), 1u);  // halted
  for (uint32_t i = 0; i < 64; ++i) memory.rdram[0x1000 + i] = static_cast<uint8_t>(0x80 + i);
  store_word(0xA4040000, 0xFF8);  // DMEM, 8 bytes before its end
  store_word(0xA4040004, 0x1000);
  store_word(0xA4040008, 8u << 20 | 1u << 12 | 13);  // skip 8, two rows of 14 (16) bytes
  EXPECT_EQ(load_word(0xA4040018), 1u);
  settle();
  EXPECT_EQ(load_word(0xA4040018), 0u);
  EXPECT_TRUE(std::equal(memory.rdram + 0x1000, memory.rdram + 0x1008, memory.sp_dmem + 0xFF8));
  EXPECT_TRUE(std::equal(memory.rdram + 0x1008, memory.rdram + 0x1010, memory.sp_dmem));
  EXPECT_TRUE(std::equal(memory.rdram + 0x1018, memory.rdram + 0x1028, memory.sp_dmem + 8));
  EXPECT_EQ(memory.sp_dmem[0x18], 0);
  EXPECT_EQ(load_word(0xA4040000), 0x018u);
  EXPECT_EQ(load_word(0xA4040004), 0x1030u);
  EXPECT_EQ(load_word(0xA4040008), 0x00800FF8u);
  EXPECT_EQ(watched.runs_, (std::vector<DmaRun>{{0x04000FF8, 8, DmaSource::sp},
                                                {0x04000000, 8, DmaSource::sp},
                                                {0x04000008, 16, DmaSource::sp}}));

  // A second DMA waits behind the first: IMEM to RDRAM.
  memory.sp_imem[0x100] = 0xAB;
  store_word(0xA4040008, 0xFF);  // 256 bytes into DMEM, from 0x1030
  store_word(0xA4040000, 0x1100);
  store_word(0xA4040004, 0x2000);
  store_word(0xA404000C, 7);
  EXPECT_EQ(load_word(0xA4040014), 1u);
  EXPECT_EQ(load_word(0xA4040010), 1u | 4 | 8);  // halted, busy, full
  // 256 bytes at 2.5 ms a MB: 57.2 cycles.
  EXPECT_EQ(due(Event::sp_dma), scheduler.now + 58);
  settle();
  EXPECT_EQ(load_word(0xA4040010), 1u);
  EXPECT_EQ(memory.rdram[0x2000], 0xAB);
}

TEST_F(ConsoleTest, SpStatusSemaphoreAndAStartThatBreaksAtOnce) {
  EXPECT_EQ(peek_byte(0xA404001F), 0);  // a debugger's look takes nothing
  EXPECT_EQ(load_word(0xA404001C), 0u);
  EXPECT_EQ(load_word(0xA404001C), 1u);
  store_word(0xA404001C, 0);
  EXPECT_EQ(peek_byte(0xA404001F), 0);

  store_word(0xA4040010, 1u << 10 | 1u << 24);  // set signals 0 and 7
  EXPECT_EQ(load_word(0xA4040010), 1u | 1u << 7 | 1u << 14);
  store_word(0xA4040010, 1u << 9 | 1);  // clear signal 0, clear halt: the RSP breaks at once
  EXPECT_EQ(load_word(0xA4040010), 1u | 2 | 1u << 14);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::sp));
  store_word(0xA4040010, 1u << 2 | 1u << 8);  // clear broke, set interrupt on break
  store_word(0xA4040010, 1);
  EXPECT_EQ(load_word(0xA4040010), 1u | 2 | 1u << 6 | 1u << 14);
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::sp));
  store_word(0xA4040010, 1u << 3);
  EXPECT_FALSE(mips_interface.raised(RcpInterrupt::sp));
  store_word(0xA4040010, 1u << 4);
  EXPECT_TRUE(mips_interface.raised(RcpInterrupt::sp));

  store_word(0xA4080000, 0x12345677);
  EXPECT_EQ(load_word(0xA4080000), 0x674u);
}

}  // namespace
