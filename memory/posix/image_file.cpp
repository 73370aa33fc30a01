#include "memory/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* open_image_file(const char* path) {
  struct stat info;
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  int fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // The path may have been replaced between the check and the open.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) ::close(fd);
  return file;
}

uint64_t image_file_size(std::FILE* file) {
  struct stat info;
  if (::fstat(::fileno(file), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

bool read_image_byte_at(std::FILE* file, uint64_t offset, uint8_t& byte) {
  return ::pread(::fileno(file), &byte, 1, static_cast<off_t>(offset)) == 1;
}
