// rom: a cartridge image made from a statically linked MIPS program, whose boot code copies the
// program into RDRAM and starts it.
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "cli/commands.h"
#include "cli/elf_program.h"
#include "memory/image_file.h"
#include "platform/file_output.h"

namespace {

// The code that copies the segments and jumps to the entry point (rom_boot.s).
constexpr uint8_t kBootCode[] = {
#include "rom_boot.inc"
};

constexpr std::size_t kBootCodeOffset = 0x40;
constexpr std::size_t kBootAreaBytes = 4096;
// A file larger than this cannot hold a program that fits RDRAM in any sensible way.
constexpr std::size_t kLargestElf = 64u << 20;

int refuse(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "korvel-cli: %s: %s\n", path.c_str(), reason.c_str());
  return kExitRefused;
}

// The whole file at `path`, read to its end whatever size the system gives it (files of /proc give
// 0), or why it cannot be had: a read that fails on the way leaves it as unreadable as a folder.
std::variant<std::vector<uint8_t>, std::string> read_program(const std::string& path) {
  std::FILE* file = open_image_file(path.c_str());
  if (!file) return std::string("not a readable file");
  constexpr std::size_t kChunk = 64 * 1024;
  std::vector<uint8_t> bytes;
  std::size_t got;
  do {
    const std::size_t had = bytes.size();
    bytes.resize(had + kChunk);
    got = std::fread(bytes.data() + had, 1, kChunk, file);
    bytes.resize(had + got);
  } while (got == kChunk && bytes.size() <= kLargestElf);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::string("not a readable file");
  if (bytes.size() > kLargestElf) return std::string("too large for a program that fits RDRAM");
  return bytes;
}

void put_word(std::vector<uint8_t>& image, std::size_t offset, uint32_t value) {
  for (int k = 0; k < 4; ++k) image[offset + k] = static_cast<uint8_t>(value >> (24 - 8 * k));
}

// The header, the boot code and its table, then the segments' bytes from offset 4096; empty when
// the table does not fit the boot area.
std::vector<uint8_t> make_image(const ElfProgram& program, const std::string& name) {
  const std::size_t table = kBootCodeOffset + sizeof kBootCode;
  const std::size_t table_end = table + 4 + 8 * program.segments.size() + 4;
  if (table_end > kBootAreaBytes) return {};
  std::vector<uint8_t> image(kBootAreaBytes, 0);
  const uint8_t order_and_timing[] = {0x80, 0x37, 0x12, 0x40};
  std::copy(std::begin(order_and_timing), std::end(order_and_timing), image.begin());
  put_word(image, 4, 0x0000000F);  // clock rate
  put_word(image, 8, program.entry);
  for (std::size_t i = 0; i < 20; ++i) image[32 + i] = i < name.size() ? name[i] : ' ';
  image[59] = 'K';  // manufacturer and country, as the sample ROMs have them
  image[62] = 'E';
  std::copy(std::begin(kBootCode), std::end(kBootCode), image.begin() + kBootCodeOffset);
  put_word(image, table, static_cast<uint32_t>(program.segments.size()));
  std::size_t at = table + 4;
  for (const ElfSegment& segment : program.segments) {
    put_word(image, at, segment.address);
    put_word(image, at + 4, static_cast<uint32_t>(segment.bytes.size()));
    at += 8;
    image.insert(image.end(), segment.bytes.begin(), segment.bytes.end());
  }
  put_word(image, at, program.entry);
  return image;
}

}  // namespace

int rom_command(const MakeRomOptions& options) {
  const std::string& path = options.program;
  if (same_file(path, options.output))
    return refuse(options.output, "the ROM cannot be written over the program it is made from");
  std::variant<std::vector<uint8_t>, std::string> file = read_program(path);
  if (const std::string* reason = std::get_if<std::string>(&file)) return refuse(path, *reason);

  std::variant<ElfProgram, std::string> program =
      parse_elf_program(std::get<std::vector<uint8_t>>(file));
  if (const std::string* reason = std::get_if<std::string>(&program)) return refuse(path, *reason);
  const std::string name = std::filesystem::path(path).stem().string().substr(0, 20);
  std::vector<uint8_t> image = make_image(std::get<ElfProgram>(program), name);
  if (image.empty()) return refuse(path, "too many segments for the boot code's table");

  if (std::string error = write_file_whole(options.output, image); !error.empty())
    return refuse(options.output, "cannot be written: " + error);
  return kExitDone;
}
