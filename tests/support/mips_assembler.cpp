#include "tests/support/mips_assembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/host_system.h"
#include "tests/support/rom_image.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<uint32_t> assemble(const std::string& source) {
  const TempDir temp;
  const std::filesystem::path& dir = temp.path();
  std::ofstream(dir / "in.s") << ".set noreorder\n.set noat\n.text\n" << source << "\n";
  const std::string object = host_path(dir / "in.o");
  std::string command = "mips-linux-gnu-as -EB -march=vr4300 -mabi=o64 -o '" + object + "' '" +
                        host_path(dir / "in.s") + "' 2> '" + host_path(dir / "as.log") +
                        "' && mips-linux-gnu-objcopy -O binary -j .text '" + object + "' '" +
                        host_path(dir / "out.bin") + "'";
  std::vector<uint32_t> words;
  if (run_host_command(command) != 0) {
    ADD_FAILURE() << "the assembler refused:\n" << source << "\n" << read_file(dir / "as.log");
  } else {
    std::string bytes = read_file(dir / "out.bin");
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
      words.push_back(static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 24 |
                      static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 16 |
                      static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 2])) << 8 |
                      static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])));
    }
  }
  return words;
}

std::vector<uint8_t> to_bytes(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes;
  for (uint32_t word : words) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(word >> shift));
  }
  return bytes;
}
