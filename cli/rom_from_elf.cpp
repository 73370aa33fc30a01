// rom: a cartridge image made from a statically linked MIPS program, whose boot code copies the
// program into RDRAM and starts it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "cli/commands.h"
#include "cli/elf_program.h"

namespace {

// The code that copies the segments and jumps to the entry point (rom_boot.s).
constexpr uint8_t kBootCode[] = {
#include "rom_boot.inc"
};

constexpr std::size_t kBootCodeOffset = 0x40;
constexpr std::size_t kBootAreaBytes = 4096;
// A file larger than this cannot hold a program that fits RDRAM in any sensible way.
constexpr std::uintmax_t kLargestElf = 64u << 20;

int refuse(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "korvel-cli: %s: %s\n", path.c_str(), reason.c_str());
  return kExitRefused;
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
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return refuse(path, "not a readable file");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kLargestElf) return refuse(path, "too large for a program that fits RDRAM");
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.eof() && !in) return refuse(path, "not a readable file");

  std::variant<ElfProgram, std::string> program = parse_elf_program(file);
  if (const std::string* reason = std::get_if<std::string>(&program)) return refuse(path, *reason);
  const std::string name = std::filesystem::path(path).stem().string().substr(0, 20);
  std::vector<uint8_t> image = make_image(std::get<ElfProgram>(program), name);
  if (image.empty()) return refuse(path, "too many segments for the boot code's table");

  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    std::filesystem::remove(options.output, error);
    return refuse(options.output, "cannot be written");
  }
  return kExitDone;
}
