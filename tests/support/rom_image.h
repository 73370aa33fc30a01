#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A ROM image made inside a test: a header, boot code from offset 0x40, and optional cartridge
// data after the first 4096 bytes.
struct RomImage {
  std::string name = "KORVEL TEST";
  uint8_t manufacturer = 'N';
  uint8_t country = 'E';
  std::vector<uint8_t> boot_code;  // placed at offset 0x40
  std::vector<uint8_t> cartridge;  // placed at offset 4096
  std::size_t size = 4096;         // at least 4096 when cartridge data is given

  // The image in native (big-endian) order.
  std::vector<uint8_t> native() const;
};

// The image with each pair of bytes exchanged.
std::vector<uint8_t> byte_swapped(std::vector<uint8_t> bytes);

// A folder under TMPDIR (/tmp without it) that is removed with everything in it when the test
// ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The file's path, as the programs under test are given it.
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// tests/data/, the ROM images kept in the project with their provenance.
std::filesystem::path testdata_dir();

// A third-party ROM image of tests/data/real/.
std::filesystem::path real_testdata(const std::string& name);
