#include "memory/image_file.h"

#include <sys/stat.h>

#include "base/windows/wide_path.h"

// Opening a device, a pipe or a folder here never blocks, so the file is opened first and then
// refused unless it is a regular file.
std::FILE* open_image_file(const char* path) {
  const std::wstring wide = wide_path(path);
  if (wide.empty()) return nullptr;
  std::FILE* file = ::_wfopen(wide.c_str(), L"rb");
  struct _stat64 info;
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

// The plain calls' offsets are 32-bit.
bool read_image_byte_at(std::FILE* file, uint64_t offset, uint8_t& byte) {
  const long long position = ::_ftelli64(file);
  if (position < 0 || ::_fseeki64(file, static_cast<long long>(offset), SEEK_SET) != 0) {
    return false;
  }
  const int read = std::getc(file);
  ::_fseeki64(file, position, SEEK_SET);
  if (read == EOF) return false;
  byte = static_cast<uint8_t>(read);
  return true;
}
