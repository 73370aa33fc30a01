#include "tests/support/rom_image.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

std::vector<uint8_t> RomImage::native() const {
  std::vector<uint8_t> bytes(std::max(size, cartridge.empty() ? 0 : 4096 + cartridge.size()), 0);
  const uint8_t header[] = {0x80, 0x37, 0x12, 0x40};
  std::copy(header, header + std::min(sizeof header, bytes.size()), bytes.begin());
  auto put = [&](std::size_t offset, uint8_t value) {
    if (offset < bytes.size()) bytes[offset] = value;
  };
  for (std::size_t i = 0; i < 20; ++i) put(32 + i, i < name.size() ? name[i] : ' ');
  put(59, manufacturer);
  put(62, country);
  for (std::size_t i = 0; i < boot_code.size(); ++i) put(0x40 + i, boot_code[i]);
  for (std::size_t i = 0; i < cartridge.size(); ++i) put(4096 + i, cartridge[i]);
  return bytes;
}

std::vector<uint8_t> byte_swapped(std::vector<uint8_t> bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}

TempDir::TempDir() {
  // TMPDIR first, so that parallel or sandboxed runs each keep to their own, Windows programs under
  // Wine as well.
  const char* named = std::getenv("TMPDIR");
  const std::filesystem::path base =
      named && *named ? std::filesystem::path(named) : std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::filesystem::path candidate =
        base / ("korvel-test-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return file.string();
}

std::filesystem::path testdata_dir() {
  return KORVEL_TESTDATA;
}

std::filesystem::path real_testdata(const std::string& name) {
  return testdata_dir() / "real" / name;
}
