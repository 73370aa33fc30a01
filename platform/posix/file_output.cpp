#include "platform/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

// A file of our own beside `path`, made afresh (never one that exists, nor a link's target) with
// the permissions the umask leaves; -1 with errno set when none can be made.
int create_beside(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool write_all(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = EIO;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

std::string system_words(int error) {
  return std::generic_category().message(error);
}

}  // namespace

std::string write_file_whole(const std::string& path, std::span<const uint8_t> bytes) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return "not a regular file";
  std::string name;
  const int fd = create_beside(path, name);
  if (fd < 0) return system_words(errno);
  // On the disk before it takes the name, so that no crash can leave the name to a partial file.
  bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written) {
    if (::rename(name.c_str(), path.c_str()) == 0) return {};
    error = errno;
  }
  ::unlink(name.c_str());
  return system_words(error);
}

bool same_file(const std::string& first, const std::string& second) {
  struct stat a, b;
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
