#include "debugger/listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "debugger/disassembler.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "memory/memory_map.h"
#include "memory/rom_image.h"
#include "resources/dialog_templates.h"
#include "tests/support/core_fixture.h"
#include "tests/support/mips_assembler.h"
#include "tests/support/program_rom.h"
#include "tests/support/recording_dialog.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* kHeader = "PC         Opcode     Instruction";

std::string address_column(uint32_t address) {
  char text[9];
  std::snprintf(text, sizeof text, "%.8X", address);
  return text;
}

// A Commands window without a display, opened on construction and destroyed with the object.
class CommandsWindow {
 public:
  CommandsWindow() { procedure.on_init(dialog); }
  ~CommandsWindow() { procedure.on_destroy(dialog); }

  bool press(int id) { return procedure.on_command(dialog, id); }
  Lines lines() const { return dialog.lines(kIdListing); }
  std::string pc_field() const { return dialog.text(kIdListingPc); }

  RecordingDialog dialog{*find_dialog_template("COMMANDS")};
  CommandsProcedure procedure;
};

class Listing : public CoreTest {
 protected:
  void load(const std::string& source) { ASSERT_EQ(load_program_rom(dir, source), 1); }
  void load_image(const RomImage& image) {
    ASSERT_EQ(load_rom(dir.write("image.z64", image.native()).c_str()), 1);
  }
  std::size_t read_errors() const {
    std::size_t count = 0;
    for (const auto& message : recorder.messages())
      count += message.caption == "Memory Error: Read";
    return count;
  }

  TempDir dir;
};

TEST_F(Listing, AfterALoadListsSpDmemFromTheBootAddress) {
  load("first: lui $t5, 0xBFC0\n bne $t0, $t1, first");
  CommandsWindow window;
  Lines lines = window.lines();
  ASSERT_EQ(lines.size(), 257u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[1], "04000040   3C0DBFC0   LUI t5,0xBFC0");
  EXPECT_EQ(lines[2], "04000044   1509FFFE   BNE t0,t1,0x4000040");  // target from its own address
  EXPECT_EQ(lines[3], "04000048   00000000   NOP");
  EXPECT_EQ(lines[256], "0400043C   00000000   NOP");
  EXPECT_EQ(window.pc_field(), "4000040");
  EXPECT_EQ(shared.message_text().c_str(), lines[256]);
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Listing, BackPageIsRefusedAtOrBelowTheBootAddressAndStopsAtOffsetZero) {
  struct Case {
    uint32_t pc;
    int32_t offset;
    int32_t offset_after;
    bool rebuilt;
  };
  const Case cases[] = {
      {kBootPc, 0, 0, false},       // at the boot state nothing happens at all
      {kBootPc - 4, 0, 0, false},   // below it neither
      {kBootPc + 4, 0, 0, true},    // above it the same listing is built again
      {kBootPc, 1024, 0, true},     // one page back
      {kBootPc, 2048, 1024, true},  // two pages back
      {0x80000400, 0, 0, true},     // any program counter above the boot address
      {0x80000400, 1024, 0, true},
  };
  load("nop");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pc << " " << c.offset);
    cpu.pc = c.pc;
    shared.listing_offset = c.offset;
    CommandsWindow window;
    // A rebuilt list shows memory as it is now, an untouched one as it was.
    uint32_t first = c.pc + static_cast<uint32_t>(c.offset_after);
    mem_write_byte(first, 0x3C);
    EXPECT_TRUE(window.press(kIdListingBack));
    EXPECT_EQ(shared.listing_offset, c.offset_after);
    Lines lines = window.lines();
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines[1].substr(0, 8), address_column(first));
    EXPECT_EQ(lines[1].substr(11, 2), c.rebuilt ? "3C" : "00");
    mem_write_byte(first, 0);
  }
}

TEST_F(Listing, ForwardPagesRunPastSpMemoryIntoReadErrors) {
  RomImage image;
  image.size = 64 * 1024;  // large enough not to bound the pages
  load_image(image);
  CommandsWindow window;
  for (int press = 1; press <= 6; ++press) window.press(kIdListingForward);
  EXPECT_EQ(window.lines()[1].substr(0, 8), "04001840");
  EXPECT_EQ(read_errors(), 0u);

  window.press(kIdListingForward);  // the seventh: 0x04001C40 to 0x0400203C
  Lines lines = window.lines();
  ASSERT_EQ(lines.size(), 257u);
  EXPECT_EQ(lines[1].substr(0, 8), "04001C40");
  EXPECT_EQ(lines[240], "04001FFC   00000000   NOP");
  EXPECT_EQ(lines[241], "04002000   00000000   NOP");  // past SP IMEM: four errors a line
  EXPECT_EQ(lines[256], "0400203C   00000000   NOP");
  EXPECT_EQ(read_errors(), 64u);
  EXPECT_EQ(shared.running, 0);

  window.press(kIdListingForward);  // the eighth lists nothing readable
  EXPECT_EQ(read_errors(), 64u + 1024u);
  EXPECT_EQ(shared.listing_offset, 8 * 1024);
}

TEST_F(Listing, ForwardPageIsRefusedOnceTheOffsetReachesTheImageSizeLessAPage) {
  RomImage image;
  image.size = 0x400000;
  load_image(image);
  cpu.pc = 0x80000000;  // RDRAM, so the last page of a 4 MB image is readable
  memory.rdram[0x3FFFFC] = 0xAB;
  shared.listing_offset = 0x3FF800;
  CommandsWindow window;
  window.press(kIdListingForward);
  EXPECT_EQ(shared.listing_offset, 0x3FFC00);
  EXPECT_EQ(window.lines()[1].substr(0, 8), "803FFC00");
  EXPECT_EQ(window.lines()[256].substr(0, 21), "803FFFFC   AB000000  ");

  mem_write_byte(0x803FFC00, 0x3C);
  window.press(kIdListingForward);  // refused: no fill
  EXPECT_EQ(shared.listing_offset, 0x3FFC00);
  EXPECT_EQ(window.lines()[1].substr(11, 2), "00");
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Listing, BeforeAnyLoadListsRdramFromZeroAndAlwaysPagesForward) {
  CommandsWindow window;
  Lines lines = window.lines();
  ASSERT_EQ(lines.size(), 257u);
  EXPECT_EQ(lines[1], "00000000   00000000   NOP");
  EXPECT_EQ(lines[256], "000003FC   00000000   NOP");
  EXPECT_EQ(window.pc_field(), "0");

  window.press(kIdListingBack);
  EXPECT_EQ(shared.listing_offset, 0);
  for (int press = 0; press < 3; ++press) window.press(kIdListingForward);
  EXPECT_EQ(shared.listing_offset, 3072);
  EXPECT_EQ(window.lines()[1].substr(0, 8), "00000C00");
}

TEST_F(Listing, Kseg0ProgramCounterListsRdramUnderItsOwnAddresses) {
  load("nop");
  const std::vector<uint8_t> code = to_bytes(assemble("ori $t0, $t1, 0xABCD"));
  std::copy(code.begin(), code.end(), memory.rdram + 0x400);
  cpu.pc = 0x80000400;
  CommandsWindow window;
  EXPECT_EQ(window.lines()[1], "80000400   3528ABCD   ORI t0,t1,ABCD");
  EXPECT_EQ(window.pc_field(), "80000400");
}

TEST_F(Listing, CartridgeProgramCounterListsTheImageFromItsFilePosition) {
  RomImage image;
  image.cartridge = {0x3C, 0x08, 0x80, 0x00, 0x11, 0x22, 0x33, 0x44};
  load_image(image);
  cpu.pc = 0xB0000000;
  CommandsWindow window;
  Lines lines = window.lines();
  // Whatever the listed address, each byte is the next one of the file, which starts at 4096.
  EXPECT_EQ(lines[1], "B0000000   3C088000   LUI t0,0x8000");
  EXPECT_EQ(lines[2].substr(0, 19), "B0000004   11223344");
  EXPECT_EQ(lines[3].substr(0, 19), "B0000008   00000000");
}

TEST_F(Listing, AddressesNearTheTopEndTheListInsteadOfWrapping) {
  cpu.pc = 0xFFFFFC04;  // the last address would wrap below the first
  {
    CommandsWindow window;
    EXPECT_EQ(window.lines(), Lines{kHeader});
    EXPECT_EQ(shared.message_text().c_str(), std::string("FFFFFC04"));  // the PC text
  }
  cpu.pc = 0xFFFFFC00;
  CommandsWindow window;
  EXPECT_EQ(window.lines().size(), 257u);
  EXPECT_EQ(window.lines()[256].substr(0, 8), "FFFFFFFC");
}

TEST_F(Listing, StepUpdatesOnlyThePcField) {
  load("addiu $t0, $zero, 7\n addiu $t1, $zero, 8");
  CommandsWindow window;
  Lines before = window.lines();
  mem_write_byte(0x04000048, 0x3C);  // a rebuilt list would show this
  EXPECT_TRUE(window.press(kIdStep));
  EXPECT_EQ(cpu.gpr[8], 7u);
  EXPECT_EQ(window.pc_field(), "4000044");
  EXPECT_EQ(window.lines(), before);
  EXPECT_EQ(shared.message_text().c_str(), std::string("4000044"));
}

TEST_F(Listing, OnlyOkEndsTheWindow) {
  CommandsWindow window;
  EXPECT_FALSE(window.press(kIdCancel));
  EXPECT_FALSE(window.press(9999));
  EXPECT_FALSE(window.dialog.result().has_value());
  EXPECT_TRUE(window.press(kIdOk));
  EXPECT_EQ(window.dialog.result(), 1);
}

TEST_F(Listing, TwoWindowsShareOneOffsetAndFillTheNewest) {
  load("nop");
  CommandsWindow older;
  Lines older_lines = older.lines();
  {
    CommandsWindow newer;
    older.press(kIdListingForward);
    EXPECT_EQ(shared.listing_offset, 1024);
    EXPECT_EQ(newer.lines()[1].substr(0, 8), "04000440");
    EXPECT_EQ(older.lines(), older_lines);

    newer.press(kIdListingBack);
    EXPECT_EQ(newer.lines()[1].substr(0, 8), "04000040");
  }
  // With the newest window gone the buttons still move the offset, and no window is filled.
  older.press(kIdListingForward);
  EXPECT_EQ(shared.listing_offset, 1024);
  EXPECT_EQ(older.lines(), older_lines);
}

TEST_F(Listing, FillDuringARunShowsEachStoredWordWhole) {
  // The program keeps rewriting one word of SP DMEM with two different values.
  load(
      "lui $t0, 0x1111\n ori $t0, $t0, 0x1111\n lui $t1, 0x2222\n ori $t1, $t1, 0x2222\n"
      "lui $t2, 0xA400\n"
      "loop: sw $t0, 0x100($t2)\n sw $t1, 0x100($t2)\n beq $zero, $zero, loop\n nop");
  shared.running = 1;
  execution.start();
  for (int fill = 0; fill < 300; ++fill) {
    CommandsWindow window;
    std::string word;
    for (const std::string& line : window.lines()) {
      if (line.starts_with("04000100")) word = line.substr(11, 8);
    }
    ASSERT_TRUE(word == "11111111" || word == "22222222" || word == "00000000") << word;
  }
  execution.halt();
}

}  // namespace
