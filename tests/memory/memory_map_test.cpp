#include "memory/memory_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "cpu/cpu_state.h"
#include "machine/devices/plain_registers.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/device.h"
#include "tests/support/core_fixture.h"
#include "tests/support/rom_image.h"

namespace {

using MemoryMap = CoreTest;

TEST(AddressTranslation, SegmentsAndTheirBounds) {
  struct Case {
    uint32_t virtual_address;
    uint32_t physical;
  };
  const Case cases[] = {
      {0x00000000, 0x00000000}, {0x7FFFFFFF, 0x7FFFFFFF}, {0x80000000, 0x00000000},
      {0x9FFFFFFF, 0x1FFFFFFF}, {0xA0000000, 0x00000000}, {0xBFFFFFFF, 0x1FFFFFFF},
      {0xC0000000, 0xC0000000}, {0xFFFFFFFF, 0xFFFFFFFF}, {0x84000040, 0x04000040},
      {0xA4000040, 0x04000040},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(translate_address(c.virtual_address), c.physical) << std::hex << c.virtual_address;
  }
}

TEST_F(MemoryMap, EveryRegionIsServedUpToItsLastByteAndNoFurther) {
  struct Region {
    uint32_t first;
    uint32_t last;
    const uint8_t* storage;
  };
  auto block = [](uint32_t first) { return plain_registers.block(first).data(); };
  const Region regions[] = {
      {0x00000000, 0x003FFFFF, memory.rdram},      {0x03F00000, 0x03F00027, block(0x03F00000)},
      {0x04000000, 0x04000FFF, memory.sp_dmem},    {0x04001000, 0x04001FFF, memory.sp_imem},
      {0x04040000, 0x0404001F, block(0x04040000)}, {0x04100000, 0x0410001F, block(0x04100000)},
      {0x04200000, 0x0420000F, block(0x04200000)}, {0x04300000, 0x04300037, block(0x04300000)},
      {0x04400000, 0x04400037, block(0x04400000)}, {0x04500000, 0x04500017, block(0x04500000)},
      {0x04600000, 0x04600033, block(0x04600000)}, {0x04700000, 0x0470001F, block(0x04700000)},
      {0x04800000, 0x0480001B, block(0x04800000)},
  };
  uint8_t value = 1;
  for (const Region& r : regions) {
    for (uint32_t address : {r.first, r.last}) {
      mem_write_byte(address, value);
      EXPECT_EQ(r.storage[address - r.first], value) << std::hex << address;
      EXPECT_EQ(mem_read_byte(address), value) << std::hex << address;
      ++value;
    }
    // One past the end is unhandled, except where SP IMEM follows SP DMEM directly.
    if (r.storage != memory.sp_dmem) mem_read_byte(uint64_t{r.last} + 1);
  }
  EXPECT_TRUE(recorder.titles().empty());
  ASSERT_EQ(recorder.messages().size(), std::size(regions) - 1);
  for (const auto& message : recorder.messages()) EXPECT_EQ(message.caption, "Memory Error: Read");
}

TEST_F(MemoryMap, SegmentsNameTheSameByte) {
  memory.sp_dmem[0x40] = 0xAB;
  EXPECT_EQ(mem_read_byte(0x04000040), 0xAB);
  EXPECT_EQ(mem_read_byte(0x84000040), 0xAB);
  EXPECT_EQ(mem_read_byte(0xA4000040), 0xAB);
  memory.rdram[0x3FFFFF] = 0x5C;
  EXPECT_EQ(mem_read_byte(0x803FFFFF), 0x5C);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(MemoryMap, SpPcBlockIsTheFirstEightBytesOfTheSpRegisters) {
  mem_write_byte(0x04080003, 0x5A);
  EXPECT_EQ(mem_read_byte(0x04040003), 0x5A);
  mem_write_byte(0x04040007, 0xA5);
  EXPECT_EQ(mem_read_byte(0x04080007), 0xA5);
  EXPECT_EQ(plain_registers.block(0x04040000)[7], 0xA5);
  // The alias stops after eight bytes.
  mem_read_byte(0x04080008);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].caption, "Memory Error: Read");
}

TEST_F(MemoryMap, UnhandledReadShowsTheUntranslatedAddressAndStopsTheRun) {
  shared.running = 1;
  cpu.cp0[kCountRegister] = 7;
  cpu.pc = 0x04000048;
  cpu.opcode_name.set("LW");
  memory.rdram[0] = 0x77;  // a wrongly translated read would find this

  EXPECT_EQ(mem_read_byte(0xA4900000), 0);
  EXPECT_EQ(shared.running, 0);
  EXPECT_EQ(mem_read_byte(0xFFFFFFFF80000000u), 0);  // upper half set, though KSEG0 below
  EXPECT_EQ(mem_read_byte(0x80400000), 0);
  EXPECT_EQ(mem_read_byte(0xC0000000), 0);

  const auto messages = recorder.messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0], (RecordingHost::Message{
                             "Memory Error: Read",
                             "Unhandled memory address: a4900000\nStopped on opcode number: 7\n"
                             "PC: 4000048\nOpcode:LW"}));
  EXPECT_EQ(messages[1].text.substr(0, 35), "Unhandled memory address: 80000000\n");
  EXPECT_EQ(messages[2].text.substr(0, 35), "Unhandled memory address: 80400000\n");
  EXPECT_EQ(messages[3].text.substr(0, 35), "Unhandled memory address: c0000000\n");
}

TEST_F(MemoryMap, ReadErrorShowsACountPast2To31Whole) {
  cpu.cp0[kCountRegister] = 0x1'FFFF'FFFF;
  mem_read_byte(0x05000000);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_NE(recorder.messages()[0].text.find("Stopped on opcode number: 8589934591\n"),
            std::string::npos);
}

TEST_F(MemoryMap, UnhandledWriteShowsTheTranslatedAddressAndRunsOn) {
  shared.running = 1;
  mem_write_byte(0xA4900000, 1);
  mem_write_byte(0x10000000, 2);  // the cartridge is read-only
  mem_write_byte(0xB0000010, 3);
  mem_write_byte(0xC0000000, 4);
  EXPECT_EQ(shared.running, 1);
  const auto messages = recorder.messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0],
            (RecordingHost::Message{"Memory Error: Write", "Unhandled memory address: 4900000"}));
  EXPECT_EQ(messages[1].text, "Unhandled memory address: 10000000");
  EXPECT_EQ(messages[2].text, "Unhandled memory address: 10000010");
  EXPECT_EQ(messages[3].text, "Unhandled memory address: c0000000");
}

TEST_F(MemoryMap, CartridgeReadsTakeConsecutiveFileBytesWhateverTheAddress) {
  TempDir dir;
  RomImage image;
  image.cartridge = {0x11, 0x22, 0x33};
  ASSERT_EQ(load_rom(dir.write("cart.z64", image.native()).c_str()), 1);
  recorder.clear();

  EXPECT_EQ(mem_read_byte(0x10000000), 0x11);
  EXPECT_EQ(mem_read_byte(0x10000000), 0x22);
  EXPECT_EQ(mem_read_byte(0xBFBFFFFF), 0x33);  // the range's last byte, through KSEG1
  EXPECT_EQ(mem_read_byte(0x10000000), 0x00);  // past the end of the file
  mem_read_byte(0x1FC00000);                   // just past the cartridge range
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].caption, "Memory Error: Read");
}

TEST_F(MemoryMap, CartridgeReadWithNoImageOpenGivesZero) {
  EXPECT_EQ(mem_read_byte(0x10000000), 0);
  TempDir dir;
  RomImage image;
  image.cartridge = {0x99};
  ASSERT_EQ(load_rom(dir.write("a.z64", image.native()).c_str()), 1);
  close_rom();
  EXPECT_EQ(mem_read_byte(0x10000000), 0);
  EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace

// A register's word is one read of the whole register, as a 32-bit load makes it; its bytes are
// reads of one byte each. Past a device's range, and in RDRAM, the word is read byte by byte.
TEST_F(MemoryMap, AWordOfADeviceIsOneReadOfTheWholeRegister) {
  struct CountingDevice final : Device {
    std::vector<uint32_t> masks;
    uint32_t read(uint32_t offset, uint32_t mask) override {
      masks.push_back(mask);
      return 0x11223344u + offset;
    }
    void write(uint32_t, uint32_t, uint32_t) override {}
    uint32_t peek(uint32_t) const override { return 0; }
    bool poke(uint32_t, uint32_t, uint32_t) override { return false; }
  } device;
  device_map = DeviceMap{};
  device_map.add({0x04600000, 0x04600007, &device, 0});
  EXPECT_EQ(read_physical_word(0x04600004, 0xA4600004), 0x11223348u);
  EXPECT_EQ(device.masks, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(read_physical_byte(0x04600001, 0xA4600001), 0x22u);
  EXPECT_EQ(device.masks.back(), 0x00FF0000u);
  memory.rdram[0x100] = 0xAB;
  EXPECT_EQ(read_physical_word(0x100, 0x80000100), 0xAB000000u);
  EXPECT_TRUE(recorder.messages().empty());
}
