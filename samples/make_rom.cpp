// Wraps assembled boot code into a cartridge image: a header of our own, the code from offset 0x40,
// written once in native order (.z64) and once byte-swapped (.v64).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kImageSize = 4096;
constexpr std::size_t kBootCodeOffset = 0x40;

bool write_file(const char* path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: make_rom CODE.bin NAME MANUFACTURER COUNTRY OUT.z64 OUT.v64\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<unsigned char> code{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  if (!in.eof() && !in) {
    std::fprintf(stderr, "make_rom: cannot read %s\n", argv[1]);
    return 1;
  }
  if (code.size() > kImageSize - kBootCodeOffset) {
    std::fprintf(stderr, "make_rom: %zu bytes of code do not fit in the boot area\n", code.size());
    return 1;
  }
  std::string name = argv[2];
  if (name.size() > 20 || std::strlen(argv[3]) != 1 || std::strlen(argv[4]) != 1) {
    std::fprintf(stderr, "make_rom: the name takes up to 20 characters, the codes one each\n");
    return 2;
  }

  std::vector<unsigned char> image(kImageSize, 0);
  const unsigned char header[] = {0x80, 0x37, 0x12, 0x40,   // byte order and bus timing
                                  0x00, 0x00, 0x00, 0x0F,   // clock rate
                                  0x80, 0x00, 0x04, 0x00};  // entry point
  std::memcpy(image.data(), header, sizeof header);
  name.resize(20, ' ');
  std::memcpy(image.data() + 32, name.data(), 20);
  image[59] = static_cast<unsigned char>(argv[3][0]);
  image[62] = static_cast<unsigned char>(argv[4][0]);
  std::memcpy(image.data() + kBootCodeOffset, code.data(), code.size());

  std::vector<unsigned char> swapped = image;
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  if (!write_file(argv[5], image) || !write_file(argv[6], swapped)) {
    std::fprintf(stderr, "make_rom: cannot write the images\n");
    return 1;
  }
  return 0;
}
