// Wraps assembled boot code into a cartridge image: a header of our own, the code from offset 0x40,
// written once in native order (.z64) and once byte-swapped (.v64).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_output.h"

namespace {

constexpr std::size_t kImageSize = 4096;
constexpr std::size_t kBootCodeOffset = 0x40;

bool write_file(const char* path, const std::vector<uint8_t>& bytes) {
  const std::string error = write_file_whole(path, bytes);
  if (!error.empty()) std::fprintf(stderr, "make_rom: cannot write %s: %s\n", path, error.c_str());
  return error.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: make_rom CODE.bin NAME MANUFACTURER COUNTRY OUT.z64 OUT.v64\n");
    return 2;
  }
  // One byte more than fits tells code that does not. The stream's read turns a failing read into
  // its bad state, where reading through an iterator would let the exception out.
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<uint8_t> code(kImageSize - kBootCodeOffset + 1);
  in.read(reinterpret_cast<char*>(code.data()), static_cast<std::streamsize>(code.size()));
  if (!in.is_open() || in.bad()) {
    std::fprintf(stderr, "make_rom: cannot read %s\n", argv[1]);
    return 1;
  }
  code.resize(static_cast<std::size_t>(in.gcount()));
  if (code.size() > kImageSize - kBootCodeOffset) {
    std::fprintf(stderr, "make_rom: the code does not fit in the boot area\n");
    return 1;
  }
  std::string name = argv[2];
  if (name.size() > 20 || std::strlen(argv[3]) != 1 || std::strlen(argv[4]) != 1) {
    std::fprintf(stderr, "make_rom: the name takes up to 20 characters, the codes one each\n");
    return 2;
  }

  std::vector<uint8_t> image(kImageSize, 0);
  const uint8_t header[] = {0x80, 0x37, 0x12, 0x40,   // byte order and bus timing
                            0x00, 0x00, 0x00, 0x0F,   // clock rate
                            0x80, 0x00, 0x04, 0x00};  // entry point
  std::memcpy(image.data(), header, sizeof header);
  name.resize(20, ' ');
  std::memcpy(image.data() + 32, name.data(), 20);
  image[59] = static_cast<uint8_t>(argv[3][0]);
  image[62] = static_cast<uint8_t>(argv[4][0]);
  std::memcpy(image.data() + kBootCodeOffset, code.data(), code.size());

  std::vector<uint8_t> swapped = image;
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  return write_file(argv[5], image) && write_file(argv[6], swapped) ? 0 : 1;
}
