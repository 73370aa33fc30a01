#include "machine/menu_commands.h"
#include "memory/rom_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cpu/cpu_state.h"
#include "machine/devices/plain_registers.h"
#include "machine/machine_state.h"
#include "memory/memory_map.h"
#include "tests/support/core_fixture.h"
#include "tests/support/host_system.h"
#include "tests/support/rom_image.h"

namespace {

class RomLoading : public CoreTest {
 protected:
  int load(const std::vector<uint8_t>& bytes, const std::string& name = "test.z64") {
    return load_rom(dir.write(name, bytes).c_str());
  }

  TempDir dir;
};

uint32_t dmem_word(uint32_t offset) {
  return static_cast<uint32_t>(memory.sp_dmem[offset]) << 24 | memory.sp_dmem[offset + 1] << 16 |
         memory.sp_dmem[offset + 2] << 8 | memory.sp_dmem[offset + 3];
}

TEST_F(RomLoading, SetsTheBootStateTextsTitleAndMenu) {
  RomImage image;
  image.name = "KORVEL DEMO";
  image.boot_code = {0x3C, 0x0D, 0xBF, 0xC0};
  image.cartridge = {0xC4};
  cpu.gpr[5] = 0x55;  // a load leaves the other registers alone
  shared.listing_offset = 2048;
  std::string path = dir.write("demo.z64", image.native());

  ASSERT_EQ(load_rom(path.c_str()), 1);

  EXPECT_EQ(cpu.pc, 0x04000040u);
  EXPECT_EQ(rom.boot_pc, 0x04000040u);
  EXPECT_EQ(cpu.gpr[20], 0x1u);
  EXPECT_EQ(cpu.gpr[22], 0x3Fu);
  EXPECT_EQ(cpu.gpr[29], 0xA4001FFCu);  // not sign-extended
  EXPECT_EQ(cpu.cp0[1], 0x1Fu);
  EXPECT_EQ(cpu.cp0[kCountRegister], 1u);
  EXPECT_EQ(cpu.cp0[12], 0x70400004u);
  EXPECT_EQ(cpu.cp0[16], 0x00066463u);
  EXPECT_EQ(cpu.gpr[5], 0x55u);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(plain_registers.block(0x04300000)[i], 1) << i;
  EXPECT_EQ(shared.listing_offset, 0);

  EXPECT_EQ(rom.rom_loaded, 1);
  EXPECT_STREQ(rom.byte_order_text.c_str(), "Not Byteswapped.");
  EXPECT_STREQ(rom.pc_text.c_str(), "Program Counter: 4000040");
  EXPECT_STREQ(rom.rom_name.c_str(), "KORVEL DEMO         ");
  EXPECT_STREQ(rom.rom_manufacturer.c_str(), "Nintendo");
  EXPECT_STREQ(rom.country_text.c_str(), "Country: USA");
  EXPECT_EQ(rom.rom_size, 4097u);

  EXPECT_EQ(shared.title_text.c_str(), "Korvel - " + path);
  EXPECT_EQ(recorder.last_title(), "Korvel - " + path);
  EXPECT_TRUE(recorder.messages().empty());

  EXPECT_EQ(mem_read_byte(0xA4000040), 0x3C);
  EXPECT_EQ(mem_read_byte(0x10000000), 0xC4);  // the cartridge starts at file byte 4096
}

TEST_F(RomLoading, NativeAndByteSwappedImagesGiveTheSameState) {
  RomImage image;
  image.name = "SWAP ME";
  image.manufacturer = 0xC1;
  image.country = 'J';
  for (int i = 0; i < 4096 - 0x40; ++i) image.boot_code.push_back(static_cast<uint8_t>(i * 7));

  ASSERT_EQ(load(image.native(), "n.z64"), 1);
  auto native_memory = std::make_unique<MemoryStorage>(memory);
  std::string name = rom.rom_name.c_str(), manufacturer = rom.rom_manufacturer.c_str(),
              country = rom.country_text.c_str();
  reset_all_state();

  ASSERT_EQ(load(byte_swapped(image.native()), "s.v64"), 1);
  EXPECT_EQ(rom.byte_swapped, 1);
  EXPECT_STREQ(rom.byte_order_text.c_str(), "Byteswapped.");
  EXPECT_EQ(rom.rom_name.c_str(), name);
  EXPECT_EQ(name, "SWAP ME             ");
  EXPECT_EQ(rom.rom_manufacturer.c_str(), manufacturer);
  EXPECT_EQ(manufacturer, "Unknown: ffffffc1");
  EXPECT_EQ(rom.country_text.c_str(), country);
  EXPECT_EQ(country, "Country: Japan");
  EXPECT_EQ(std::memcmp(memory.sp_dmem, native_memory->sp_dmem, sizeof memory.sp_dmem), 0);
}

TEST_F(RomLoading, ManufacturerAndCountryTexts) {
  struct Case {
    uint8_t code;
    const char* manufacturer;
    const char* country;
  };
  const Case cases[] = {
      {'N', "Nintendo", "Country: 4e"},
      {0x41, "Unknown: 41", "Country: 41"},
      {0xC1, "Unknown: ffffffc1", "Country: ffffffc1"},
      {'D', "Unknown: 44", "Country: Germany"},
      {'E', "Unknown: 45", "Country: USA"},
      {'J', "Unknown: 4a", "Country: Japan"},
      {'P', "Unknown: 50", "Country: Europe"},
      {'U', "Unknown: 55", "Country: Australia"},
      {0x37, "Unknown: 37", "Country: 37"},
      {0x80, "Unknown: ffffff80", "Country: ffffff80"},
      {0x00, "Unknown: 0", "Country: 0"},
  };
  for (const Case& c : cases) {
    RomImage image;
    image.manufacturer = c.code;
    image.country = c.code;
    ASSERT_EQ(load(image.native()), 1);
    EXPECT_STREQ(rom.rom_manufacturer.c_str(), c.manufacturer) << int{c.code};
    EXPECT_STREQ(rom.country_text.c_str(), c.country) << int{c.code};
  }
}

TEST_F(RomLoading, NameWithoutATerminatorShowsAllTwentyCharacters) {
  RomImage image;
  image.name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";  // longer than the field
  ASSERT_EQ(load(image.native()), 1);
  EXPECT_STREQ(rom.rom_name.c_str(), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(RomLoading, ShortImagesReadAsZeroPastTheirEnd) {
  RomImage full;
  full.name = "FULL";
  full.manufacturer = 'N';
  full.country = 'P';
  full.boot_code.assign(4096 - 0x40, 0xEE);
  ASSERT_EQ(load(full.native(), "full.z64"), 1);

  std::vector<uint8_t> ten = RomImage{}.native();
  ten.resize(10);
  ASSERT_EQ(load(ten, "ten.z64"), 1);
  EXPECT_STREQ(rom.rom_name.c_str(), "");
  EXPECT_STREQ(rom.rom_manufacturer.c_str(), "Unknown: 0");
  EXPECT_STREQ(rom.country_text.c_str(), "Country: 0");
  EXPECT_EQ(rom.rom_size, 10u);
  EXPECT_EQ(dmem_word(0), 0x80371240u);
  for (int i = 10; i < 4096; ++i) ASSERT_EQ(memory.sp_dmem[i], 0) << i;

  // A byte-swapped image of odd length: its last byte has no partner.
  std::vector<uint8_t> odd = byte_swapped(RomImage{}.native());
  odd.resize(0x41);
  ASSERT_EQ(load(odd, "odd.v64"), 1);
  EXPECT_EQ(memory.sp_dmem[0x40], 0);
  EXPECT_EQ(memory.sp_dmem[0x41], odd[0x40]);
}

TEST_F(RomLoading, ResetRestoresTheBootStateAndLoadDoesNotClear) {
  ASSERT_EQ(load(RomImage{}.native()), 1);
  for (int i = 1; i < 32; ++i) cpu.gpr[i] = 0xDEAD;
  cpu.cp0[kCountRegister] = 500;
  cpu.pc = 0x04000100;
  cpu.hi_reg = 3;
  plain_registers.block(0x04300000)[5] = 9;

  reset_cpu();
  for (int i = 1; i < 20; ++i) EXPECT_EQ(cpu.gpr[i], 0u) << i;
  EXPECT_EQ(cpu.gpr[20], 1u);
  EXPECT_EQ(cpu.gpr[29], 0xA4001FFCu);
  EXPECT_EQ(cpu.cp0[kCountRegister], 1u);
  EXPECT_EQ(cpu.pc, 0x04000040u);
  EXPECT_EQ(cpu.hi_reg, 3u);
  EXPECT_EQ(plain_registers.block(0x04300000)[5], 1);

  for (int i = 1; i < 20; ++i) cpu.gpr[i] = 0xBEEF;
  ASSERT_EQ(load(RomImage{}.native()), 1);
  for (int i = 1; i < 20; ++i) EXPECT_EQ(cpu.gpr[i], 0xBEEFu) << i;
}

TEST_F(RomLoading, CloseThenResetGoesToProgramCounterZero) {
  RomImage image;
  image.manufacturer = 0x41;
  ASSERT_EQ(load(image.native()), 1);
  cpu.gpr[3] = 7;
  recorder.clear();

  close_rom();
  EXPECT_STREQ(shared.title_text.c_str(), "Korvel");
  EXPECT_EQ(recorder.last_title(), "Korvel");
  EXPECT_EQ(cpu.gpr[3], 0u);
  EXPECT_EQ(cpu.cp0[kCountRegister], 0u);
  EXPECT_EQ(cpu.pc, 0u);
  EXPECT_EQ(rom.boot_pc, 0u);
  EXPECT_EQ(rom.rom_loaded, 0);
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_STREQ(rom.rom_name.c_str(), "");
  EXPECT_STREQ(rom.rom_manufacturer.c_str(), "Unknown: 41");  // kept

  reset_cpu();
  EXPECT_EQ(cpu.pc, 0u);
  EXPECT_EQ(cpu.gpr[29], 0xA4001FFCu);
  EXPECT_EQ(cpu.cp0[kCountRegister], 1u);

  close_rom();  // a second close closes nothing twice
  EXPECT_EQ(rom.rom_file, nullptr);
}

class RefusedImages : public RomLoading {
 protected:
  // Loads a good image and reads one cartridge byte, so that the file position has moved.
  void load_previous() {
    RomImage image;
    image.name = "PREVIOUS";
    image.cartridge = {0xA1, 0xA2, 0xA3};
    image.boot_code = {1, 2, 3, 4};
    previous_path = dir.write("previous.z64", image.native());
    ASSERT_EQ(load_rom(previous_path.c_str()), 1);
    ASSERT_EQ(mem_read_byte(0x10000000), 0xA1);
    cpu.gpr[7] = 77;
    recorder.clear();
  }

  void expect_refused_and_previous_kept(const std::string& path) {
    SCOPED_TRACE(path);
    auto before = std::make_unique<MemoryStorage>(memory);
    EXPECT_EQ(load_rom(path.c_str()), 0);
    EXPECT_EQ(recorder.messages(),
              (std::vector<RecordingHost::Message>{{"ROM", "Not a valid ROM!"}}));
    EXPECT_TRUE(recorder.titles().empty());
    EXPECT_EQ(shared.title_text.c_str(), "Korvel - " + previous_path);
    EXPECT_STREQ(rom.rom_name.c_str(), "PREVIOUS            ");
    EXPECT_EQ(rom.rom_loaded, 1);
    EXPECT_EQ(cpu.gpr[7], 77u);
    EXPECT_EQ(std::memcmp(before.get(), &memory, sizeof memory), 0);
    // The previous image is still the cartridge, at the position it had.
    EXPECT_EQ(mem_read_byte(0x10000000), 0xA2);
    recorder.clear();
  }

  std::string previous_path;
};

TEST_F(RefusedImages, WrongOrderEmptyAndTinyFiles) {
  load_previous();
  std::vector<uint8_t> little_endian = {0x40, 0x12, 0x37, 0x80};
  expect_refused_and_previous_kept(dir.write("le.n64", little_endian));
  load_previous();
  expect_refused_and_previous_kept(dir.write("empty.z64", {}));
  load_previous();
  expect_refused_and_previous_kept(dir.write("one.z64", {0x80}));
}

TEST_F(RefusedImages, PathsThatAreNotReadableRegularFiles) {
  std::vector<std::string> paths = paths_of_no_regular_file(dir.path());
  paths.insert(paths.end(), {(dir.path() / "missing.z64").string(), dir.path().string(),
                             std::string(5000, 'x')});
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    load_previous();
    expect_refused_and_previous_kept(path);
  }
}

TEST_F(RefusedImages, EmptyPathChangesNothingAndSaysNothing) {
  load_previous();
  EXPECT_EQ(load_rom(""), 0);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_EQ(mem_read_byte(0x10000000), 0xA2);
}

TEST_F(RomLoading, LongPathsKeepTheirWholeTitle) {
  std::filesystem::path deep = dir.path();
  for (int i = 0; i < 12; ++i) deep /= std::string(40, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  std::string path = (deep / "long.z64").string();
  ASSERT_GT(path.size(), 500u);
  {
    std::ofstream out(path, std::ios::binary);
    std::vector<uint8_t> bytes = RomImage{}.native();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_EQ(load_rom(path.c_str()), 1);
  EXPECT_EQ(recorder.last_title(), "Korvel - " + path);
}

TEST_F(RomLoading, HugeSparseImageLoadsWithItsSizeHeldAtTheLimit) {
  std::string path = dir.write("huge.z64", RomImage{}.native());
  std::filesystem::resize_file(path, 5ULL << 30);
  ASSERT_EQ(load_rom(path.c_str()), 1);
  EXPECT_EQ(rom.rom_size, 0xFFFFFFFFu);
  EXPECT_STREQ(rom.rom_name.c_str(), "KORVEL TEST         ");
}

// The real images, header fields as listed in tests/data/real/HEADERS.md.
TEST_F(RomLoading, RealImagesFromTheTestData) {
  struct Case {
    const char* file;
    uint32_t size;
    const char* name;
    const char* manufacturer;
    const char* country;
    uint32_t word_at_0x40;
  };
  const Case cases[] = {
      {"libdragon_ipl3_compat.z64", 4096, "Libdragon           ", "Unknown: 0", "Country: 0",
       0x3044d236},
      {"libdragon_ipl3_compat.v64", 4096, "Libdragon           ", "Unknown: 0", "Country: 0",
       0x3044d236},
      {"libdragon_ipl3_prod.z64", 6344, "Libdragon           ", "Unknown: 0", "Country: 0",
       0x3044d236},
      {"libdragon_ipl3_dev.z64", 11575, "Libdragon           ", "Unknown: 0", "Country: 0",
       0x256a0024},
      {"hcs64_boot_stub.z64", 4096, "", "Unknown: 0", "Country: 0", 0x40806800},
      {"small64_ntsc.z64", 4096, "Small64", "Unknown: 21", "Country: USA", 0x25720fc0},
      {"small64_pal.z64", 4096, "Small64", "Unknown: 21", "Country: 58", 0x25720fc0},
      {"small64_mpal.z64", 4096, "Small64", "Unknown: 21", "Country: 42", 0x25720fc0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(load_rom(real_testdata(c.file).string().c_str()), 1);
    EXPECT_EQ(rom.rom_size, c.size);
    EXPECT_STREQ(rom.rom_name.c_str(), c.name);
    EXPECT_STREQ(rom.rom_manufacturer.c_str(), c.manufacturer);
    EXPECT_STREQ(rom.country_text.c_str(), c.country);
    EXPECT_EQ(dmem_word(0), 0x80371240u);
    EXPECT_EQ(dmem_word(0x40), c.word_at_0x40);
  }
  EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace
