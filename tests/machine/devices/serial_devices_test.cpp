// The SI and the PIF behind it (controller commands, the boot handshake, command blocks of any
// bytes), and the ISViewer's text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "memory/memory_map.h"
#include "tests/machine/devices/console_fixture.h"

namespace {

constexpr uint32_t kBlockCycles = 12282;  // 524 bits at 0.25 us
constexpr uint64_t kJoybusByteCycles = 3000;

uint64_t si_due() {
  return scheduler.due[static_cast<std::size_t>(Event::si_dma)];
}

class SiTest : public ConsoleTest {
 protected:
  // The block through RDRAM into PIF RAM, then PIF RAM back into RDRAM at 0x3000.
  void exchange(const PifRam& block) {
    std::copy(block.begin(), block.end(), memory.rdram + 0x2000);
    store_word(0xA4800000, 0x2000);
    store_word(0xA4800010, 0x1FC007C0);
    EXPECT_EQ(load_word(0xA4800018), 1u);  // busy
    EXPECT_EQ(si_due(), scheduler.now + kBlockCycles);
    settle();
    EXPECT_EQ(load_word(0xA4800018), 0x1000u);  // the interrupt
    store_word(0xA4800018, 0);
    read_back();
  }

  // PIF RAM into RDRAM at 0x3000, and into `answer`.
  void read_back() {
    store_word(0xA4800000, 0x3000);
    store_word(0xA4800004, 0x1FC007C0);
    read_due = si_due() - scheduler.now;
    settle();
    EXPECT_TRUE(mips_interface.raised(RcpInterrupt::si));
    store_word(0xA4800018, 0);
    std::copy(memory.rdram + 0x3000, memory.rdram + 0x3040, answer.begin());
  }

  PifRam answer{};
  uint64_t read_due = 0;
};

TEST_F(SiTest, TheControllerInTheFirstPortAnswersAndTheOthersAreAbsent) {
  console_devices.set_controller(0x8001, 12, -5);
  PifRam block{};
  block.fill(0);
  const uint8_t commands[] = {0xFF, 0x01, 0x04, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,  // port 1: state
                              0x01, 0x03, 0x00, 0xFF, 0xFF, 0xFF,              // port 2: info
                              0x01, 0x05, 0x01, 0,    0,    0,    0,    0,     // port 3
                              0xFE};
  std::copy(std::begin(commands), std::end(commands), block.begin());
  block[63] = 0x01;
  exchange(block);
  EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 1, answer.begin() + 8),
            (std::vector<uint8_t>{0x01, 0x04, 0x01, 0x80, 0x01, 0x0C, 0xFB}));
  EXPECT_EQ(answer[9], 0x83);  // no device
  EXPECT_EQ(answer[11], 0xFF);
  EXPECT_EQ(answer[15], 0x85);
  EXPECT_EQ(answer[63], 0);  // the command bit, taken
  // Two commands sent, one answered with four bytes.
  EXPECT_EQ(read_due, kBlockCycles + 7 * kJoybusByteCycles);

  // Info: a controller with no pak.
  block = PifRam{0x01, 0x03, 0x00, 0, 0, 0, 0xFE};
  block[63] = 0x01;
  exchange(block);
  EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 3, answer.begin() + 6),
            (std::vector<uint8_t>{0x05, 0x00, 0x02}));
  // A state read that asks for a byte more than the controller sends.
  block = PifRam{0x01, 0x05, 0x01, 0, 0, 0, 0, 0, 0xFE};
  block[63] = 0x01;
  exchange(block);
  EXPECT_EQ(answer[1], 0x45);
  EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 3, answer.begin() + 8),
            (std::vector<uint8_t>{0x80, 0x01, 0x0C, 0xFB, 0}));

  // Without the command bit the PIF only answers what it holds.
  block[63] = 0;
  exchange(block);
  EXPECT_EQ(answer, block);
}

TEST_F(SiTest, CommandBlocksOfAnyBytesStayWithinPifRam) {
  std::mt19937 random(1964);
  for (int round = 0; round < 300; ++round) {
    PifRam block;
    for (uint8_t& byte : block)
      byte = static_cast<uint8_t>(random() % 4 == 0 ? random() % 8 : random());
    block[63] = 0x01;
    watched.runs_.clear();
    exchange(block);
    ASSERT_EQ(answer[63], 0);
    ASSERT_EQ(watched.runs_.back(), (DmaRun{0x3000, 64, DmaSource::si}));
  }
  EXPECT_EQ(memory.rdram[0x3040], 0);
}

TEST_F(SiTest, AConfiguredJoybusRunsAgainOnEveryReadOfPifRam) {
  // As a program does that writes its block once and reads PIF RAM every frame.
  console_devices.set_controller(0x0800, 0, 0);
  PifRam block{0x01, 0x04, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE};
  block[63] = 0x01;
  exchange(block);
  EXPECT_EQ(answer[3], 0x08);
  console_devices.set_controller(0x0100, 3, 0);
  read_back();
  EXPECT_EQ(answer[3], 0x01);
  EXPECT_EQ(answer[5], 3);
  EXPECT_EQ(read_due, kBlockCycles + 5 * kJoybusByteCycles);
}

TEST_F(SiTest, TheBootCodesWordToThePifEndsBootAndRaisesTheSiInterrupt) {
  EXPECT_EQ(load_word(0xBFC00000), 0u);  // PIF ROM, locked
  store_word(0xBFC007FC, 0x08);
  EXPECT_EQ(load_word(0xA4800018), 2u);       // I/O busy
  EXPECT_EQ(si_due(), scheduler.now + 1032);  // 44 bits
  settle();
  EXPECT_EQ(load_word(0xA4800018), 0x1000u);
  EXPECT_EQ(load_word(0xBFC007FC), 0u);
  store_word(0xBFC007F8, 0x12345678);
  EXPECT_EQ(load_word(0xBFC007F8), 0x12345678u);
}

TEST_F(ConsoleTest, TheIsViewerSendsItsBufferAsText) {
  store_word(0xB3FF0000, 0xEDCBA987);  // libdragon looks for memory there
  EXPECT_EQ(load_word(0xB3FF0000), 0xEDCBA987u);
  const char text[] = "Hello, console\n";
  for (uint32_t i = 0; i < sizeof text; i += 4) {
    uint32_t word = 0;
    for (uint32_t k = 0; k < 4; ++k) word = word << 8 | static_cast<uint8_t>(text[i + k]);
    store_word(0xB3FF0020 + i, word);
  }
  store_word(0xB3FF0014, 15);
  EXPECT_EQ(watched.text_, "Hello, console\n");
  store_word(0xB3FF0014, 0xFFFFFFFF);  // no more than the buffer
  EXPECT_EQ(watched.text_.size(), 15u + 512);
  store_word(0xB3FF0220, 1);
  EXPECT_EQ(load_word(0xB3FF0220), 0u);
}

}  // namespace
