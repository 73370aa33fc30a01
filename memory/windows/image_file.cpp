#include "memory/image_file.h"

#include <sys/stat.h>

// Paths are UTF-8: the programs declare it as their code page in their manifests, which the C
// library's narrow calls follow. Sizes and offsets are 64-bit, since the plain calls' are 32.

std::FILE* open_image_file(const char* path) {
  struct _stat64 info;
  if (::_stat64(path, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
  std::FILE* file = std::fopen(path, "rb");
  // The path may have been replaced between the check and the open.
  if (file && (::_fstat64(::_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

uint64_t image_file_size(std::FILE* file) {
  struct _stat64 info;
  if (::_fstat64(::_fileno(file), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

bool read_image_byte_at(std::FILE* file, uint64_t offset, uint8_t& byte) {
  const long long position = ::_ftelli64(file);
  if (position < 0 || ::_fseeki64(file, static_cast<long long>(offset), SEEK_SET) != 0)
    return false;
  const int read = std::getc(file);
  ::_fseeki64(file, position, SEEK_SET);
  if (read == EOF) return false;
  byte = static_cast<uint8_t>(read);
  return true;
}
