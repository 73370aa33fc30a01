#include "tests/support/host_system.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

int run_host_command(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string host_path(const std::filesystem::path& path) {
  return path.string();
}

std::vector<MappedRegion> memory_regions() {
  std::vector<MappedRegion> regions;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, permissions;
    fields >> range >> permissions;
    regions.push_back({line, permissions[1] == 'w', permissions[2] == 'x'});
  }
  return regions;
}

std::vector<std::string> paths_of_no_regular_file(const std::filesystem::path& dir) {
  std::filesystem::path fifo = dir / "fifo";
  EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::path dangling = dir / "dangling";
  std::filesystem::create_symlink(dir / "nowhere", dangling);
  return {fifo.string(), dangling.string(), "/dev/null", "/dev/zero"};
}

int this_thread_rank() {
  return -::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
}
