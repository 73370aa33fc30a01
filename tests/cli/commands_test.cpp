// korvel-cli info, list and disasm, refused images and usage errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/rom_image.h"

namespace {

using Lines = std::vector<std::string>;

TEST(CliInfo, BothByteOrdersGiveTheSameHeaderLines) {
  const Lines header = {"Program Counter: 4000040", "KORVEL DEMO         ",
                        "Manufacturer: Unknown: 4b", "Country: USA"};
  for (const char* file : {"demo.z64", "demo.v64"}) {
    SCOPED_TRACE(file);
    CliResult result = run_cli({"info", sample(file)});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    Lines lines = result.out_lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], file == std::string("demo.z64") ? "Not Byteswapped." : "Byteswapped.");
    EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), header);
  }
}

TEST(CliInfo, APathBeyondAsciiOpens) {
  TempDir dir;
  const std::filesystem::path folder = dir.path() / "Spiele \u00e9\u00fc \u65e5\u672c";
  std::filesystem::create_directory(folder);
  const std::filesystem::path copy = folder / "d\u00e9mo.z64";
  std::filesystem::copy_file(sample("demo.z64"), copy);
  CliResult result = run_cli({"info", copy.string()});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, run_cli({"info", sample("demo.z64")}).out);
}

TEST(CliList, ListsTheCommandsWindowAfterItsPagesAndSteps) {
  CliResult boot = run_cli({"list", sample("demo.z64")});
  EXPECT_EQ(boot.status, 0);
  Lines lines = boot.out_lines();
  ASSERT_EQ(lines.size(), 2u + 256u);
  EXPECT_EQ(lines[0], "Current PC: 4000040");
  EXPECT_EQ(lines[1], "PC         Opcode     Instruction");
  EXPECT_EQ(lines[2], "04000040   2408000A   ADDIU t0,r0,a");
  EXPECT_EQ(lines[6], "04000050   1500FFFD   BNEZ t0,0x4000048");
  EXPECT_EQ(lines[257], "0400043C   00000000   NOP");
  EXPECT_EQ(run_cli({"list", sample("demo.v64")}).out, boot.out);

  struct Case {
    std::vector<std::string> options;
    const char* pc;
    const char* first;
  };
  const Case cases[] = {
      {{"--page", "1"}, "4000040", "04000440"},
      {{"--page", "-1"}, "4000040", "04000040"},                  // refused at the boot state
      {{"--page", "3"}, "4000040", "04000C40"},                   // 4096 bytes: three pages on
      {{"--page", "4"}, "4000040", "04000C40"},                   // and no more
      {{"--steps", "3", "--page", "-1"}, "400004C", "0400004C"},  // applied, to offset 0
      {{"--steps", "3", "--page", "0x2"}, "400004C", "0400084C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    std::vector<std::string> args = {"list", sample("demo.z64")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 0);
    Lines paged = result.out_lines();
    ASSERT_EQ(paged.size(), 258u);
    EXPECT_EQ(paged[0], std::string("Current PC: ") + c.pc);
    EXPECT_EQ(paged[2].substr(0, 8), c.first);
  }
}

TEST(CliDisasm, WordsStandFromTheGivenAddressOn) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"--address", "0x04000050", "0x1500FFFD", "0x1509FFFD"},
       "BNEZ t0,0x4000048\nBNE t0,t1,0x400004C\n"},
      {{"0x1500FFFD"}, "BNEZ t0,0xFFFFFFF8\n"},                    // from address 0
      {{"1007190016", "010"}, "LUI t0,0x8000\nOp: 0 Funct: A\n"},  // decimal, never octal
      {{"--address", "67108944", "0x1500fffd"}, "BNEZ t0,0x4000048\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    std::vector<std::string> args = {"disasm"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, c.out);
  }
}

TEST(CliRom, RefusedImagesExitWithTheRomMessage) {
  TempDir dir;
  std::vector<uint8_t> little_endian = RomImage{}.native();
  std::swap(little_endian[0], little_endian[3]);
  std::swap(little_endian[1], little_endian[2]);
  const std::string refused[] = {
      (dir.path() / "missing.z64").string(),
      dir.path().string(),
      dir.write("empty.z64", {}),
      dir.write("little.n64", little_endian),
  };
  for (const std::string& path : refused) {
    for (const char* command : {"info", "run", "list"}) {
      SCOPED_TRACE(std::string(command) + " " + path);
      CliResult result = run_cli({command, path});
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.err, "ROM: Not a valid ROM!\n");
      EXPECT_EQ(result.out, "");
    }
  }
}

TEST(CliRom, AnImageLargerThanFourGigabytesLoads) {
  TempDir dir;
  std::filesystem::path huge = dir.write("huge.z64", RomImage{}.native());
  std::filesystem::resize_file(huge, 5ull << 30);  // sparse: nothing is written
  CliResult result = run_cli({"list", huge.string(), "--page", "4"});
  EXPECT_EQ(result.status, 0);
  // Its size is held at 0xFFFFFFFF, so the pages are not bounded by 4096 bytes.
  EXPECT_EQ(result.out_lines()[2].substr(0, 8), "04001040");
}

TEST(CliUsage, ErrorsExitWithTwoAndTheUsage) {
  const std::string demo = sample("demo.z64");
  const std::vector<std::string> wrong[] = {
      {},
      {"frobnicate"},
      {"info"},
      {"info", ""},
      {"info", demo, "extra"},
      {"run", demo, "--steps", "1", "--limit", "1"},
      {"run", demo, "--steps", "12abc"},
      {"run", demo, "--steps", "-1"},
      {"run", demo, "--limit", "0"},
      {"run", demo, "--frames", "2"},  // the console's only, as is --screenshot
      {"run", demo, "--screenshot", "picture.png"},
      {"run", demo, "--expansion"},  // the console's memory expansion
      {"gdbserver", demo, "--expansion"},
      {"run", demo, "--machine", "console", "--frames", "0"},
      {"run", demo, "--machine", "console", "--frames", "2", "--limit", "9"},
      {"run", demo, "--frobnicate"},
      {"run", demo, "--watch", "0x100,9"},
      {"run", demo, "--watch", "0x100:x"},
      {"run", demo, "--watch", "0x100,"},
      {"list", demo, "--page", "0x"},
      {"list", demo, "--page", "+1"},
      {"disasm"},
      {"disasm", "0x100000000"},
      {"disasm", "--address", "0x1FFFFFFFF", "0"},
      {"disasm", "0X10"},
  };
  for (const auto& args : wrong) {
    SCOPED_TRACE(testing::PrintToString(args));
    CliResult result = run_cli(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(ends_with_usage(result.err)) << result.err;
  }
}

TEST(CliUsage, VersionAndHelp) {
  CliResult version = run_cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "korvel-cli " KORVEL_VERSION "\n");
  CliResult help = run_cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("korvel-cli disasm [--address ADDR] WORD..."), std::string::npos);
}

// A refusal of korvel-cli rom: one line naming the file, exit status 1, no ROM.
void expect_refused(const CliResult& refused, const std::string& file, const std::string& rom) {
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.starts_with("korvel-cli: " + file + ": ")) << refused.err;
  EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << refused.err;
  EXPECT_FALSE(std::filesystem::exists(rom));
}

// korvel-cli rom on the C sample's ELF, whole and spoilt: what it refuses gets one line, exit
// status 1 and no file; what it makes runs the program to its end under the complete model.
TEST(CliMakeRom, MakesARunnableImageAndRefusesMalformedElfFilesWithoutWritingAnything) {
  TempDir dir;
  std::ifstream in(sample("sorting.elf"), std::ios::binary);
  const std::vector<uint8_t> elf{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
  ASSERT_GT(elf.size(), 0x60u);
  const std::string rom = (dir.path() / "out.z64").string();

  CliResult made = run_cli({"rom", dir.write("sorting.elf", elf), "-o", rom});
  EXPECT_EQ(made.status, 0) << made.err;
  CliResult ran = run_cli({"run", rom, "--cpu", "r4300i", "--regs"});
  EXPECT_EQ(ran.err, "");
  EXPECT_NE(ran.out.find("\nstopped: stop address\n"), std::string::npos) << ran.out;
  EXPECT_EQ(run_cli({"info", rom}).out_lines().at(2), "sorting             ");
  std::filesystem::remove(rom);

  using Spoil = std::function<void(std::vector<uint8_t>&)>;
  auto set32 = [](std::size_t at, uint32_t value) {
    return Spoil([=](std::vector<uint8_t>& bytes) {
      for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(value >> (24 - 8 * k));
    });
  };
  const std::size_t program_header = (elf[28] << 24) | (elf[29] << 16) | (elf[30] << 8) | elf[31];
  // A second program header copied from the first (the file has room for it), at `address`.
  auto second_segment_at = [&](uint32_t address) {
    return Spoil([=](std::vector<uint8_t>& bytes) {
      bytes[45] = 2;
      std::copy_n(bytes.begin() + program_header, 32, bytes.begin() + program_header + 32);
      set32(program_header + 32 + 8, address)(bytes);
    });
  };
  struct Case {
    std::string what;
    Spoil spoil;
    std::string reason = {};  // the message's, when the case checks it
  };
  std::vector<Case> cases = {
      {"empty", [](auto& b) { b.clear(); }},
      {"not an ELF", [](auto& b) { b[1] = 'X'; }},
      {"little-endian", [](auto& b) { b[5] = 1; }},
      {"a third class", [](auto& b) { b[4] = 3; }},
      {"not MIPS", [](auto& b) { b[19] = 3; }},
      {"shared object", [](auto& b) { b[17] = 3; }},
      {"program headers past the end", set32(28, 0xFFFFFFF0)},
      {"program header count huge", [](auto& b) { b[44] = b[45] = 0xFF; }},
      {"program header entries too small", [](auto& b) { b[42] = 0, b[43] = 8; }},
      {"segment data past the end", set32(program_header + 4, 0x7FFFFFFF)},
      {"more in the file than in memory", set32(program_header + 16, 0x100000)},
      {"segment outside RDRAM", set32(program_header + 8, 0x80400000)},
      {"segment running past RDRAM", set32(program_header + 20, 0x00400000)},
      {"a dynamic segment", set32(program_header, 2)},
      {"no loadable segment", set32(program_header, 6)},
      {"entry misaligned", set32(24, 0x80000402), "the entry point 0x80000402 is not word-aligned"},
      {"entry at 0", set32(24, 0),
       "the entry point 0x00000000 lies outside every loadable segment"},
      {"entry past RDRAM", set32(24, 0x80400000),
       "the entry point 0x80400000 lies outside every loadable segment"},
      {"entry in the cartridge", set32(24, 0xB0000000),
       "the entry point 0xB0000000 lies outside every loadable segment"},
      {"entry at the top", set32(24, 0xFFFFFFFF), "the entry point 0xFFFFFFFF is not word-aligned"},
      {"segments the same", second_segment_at(0x80000400),
       "its loadable segments at 0x80000400 and 0x80000400 overlap"},
      {"segments overlapping", second_segment_at(0x80000500),
       "its loadable segments at 0x80000400 and 0x80000500 overlap"},
      {"segments overlapping in KSEG1", second_segment_at(0xA0000440),
       "its loadable segments at 0x80000400 and 0xA0000440 overlap"},
  };
  for (std::size_t length : {1, 4, 16, 40, 51, 60, 80}) {
    cases.push_back({"cut at " + std::to_string(length), [length](auto& b) { b.resize(length); }});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = elf;
    c.spoil(bytes);
    const std::string file = dir.write("spoilt.elf", bytes);
    const CliResult refused = run_cli({"rom", file, "-o", rom});
    expect_refused(refused, file, rom);
    if (!c.reason.empty()) {
      EXPECT_EQ(refused.err, "korvel-cli: " + file + ": " + c.reason + "\n");
    }
  }
  // Files that cannot be read to their end, and a folder.
  for (const std::string& file :
       std::vector<std::string>{"/proc/self/mem", "/proc/self/pagemap", dir.path().string()}) {
    SCOPED_TRACE(file);
    expect_refused(run_cli({"rom", file, "-o", rom}), file, rom);
  }
}

// korvel-cli rom never writes over the program it reads, however the output names it, and puts a
// ROM in place whole: a write that fails leaves what stood there before, and nothing beside it.
TEST(CliMakeRom, NeverWritesOverItsProgramOrLeavesAHalfWrittenRom) {
  TempDir dir;
  const std::filesystem::path elf = dir.path() / "sorting.elf";
  std::filesystem::copy_file(sample("sorting.elf"), elf);
  const std::filesystem::path hard = dir.path() / "hard.elf", soft = dir.path() / "soft.elf";
  std::filesystem::create_hard_link(elf, hard);
  std::filesystem::create_symlink(elf.filename(), soft);
  const std::uintmax_t size = std::filesystem::file_size(elf);
  for (const std::filesystem::path& rom : {elf, hard, soft, dir.path() / "." / "sorting.elf"}) {
    SCOPED_TRACE(rom);
    const CliResult refused = run_cli({"rom", elf.string(), "-o", rom.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "korvel-cli: " + rom.string() +
                               ": the ROM cannot be written over the program it is made from\n");
    EXPECT_EQ(std::filesystem::file_size(elf), size);
  }

  const std::filesystem::path folder = dir.path() / "folder";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(run_cli({"rom", elf.string(), "-o", folder.string()}).status, 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  // Files of at most 4 blocks (of 512 or 1024 bytes) for the shell and korvel-cli: the ROM, of
  // 4.5 KiB, fails on the way.
  if (cli_for_windows()) return;
  const std::filesystem::path rom = dir.write("old.z64", {'o', 'l', 'd'});
  const CliResult failed =
      run_program("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"", cli_program(),
                              "rom", elf.string(), "-o", rom.string()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(failed.err.starts_with("korvel-cli: " + rom.string() + ": cannot be written"))
      << failed.err;
  EXPECT_EQ(std::filesystem::file_size(rom), 3u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5);
}

}  // namespace
