#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What the tests need of the system they run on, written once for each (tests/support/posix and
// tests/support/windows). The Windows tests run under Wine on the Linux machine that built them,
// and its tools (GNU as and objdump for MIPS) are Linux programs.

// Runs `command` in the host's POSIX shell and waits for it: its exit status.
int run_host_command(const std::string& command);

// `path` as the host's shell names it.
std::string host_path(const std::filesystem::path& path);

// This process's mapped memory, region by region.
struct MappedRegion {
  std::string description;
  bool writable = false;
  bool executable = false;
};
std::vector<MappedRegion> memory_regions();

// Paths that exist but name no regular file a ROM could be read from (devices, pipes, links to
// nowhere), made in `dir` where they must be made.
std::vector<std::string> paths_of_no_regular_file(const std::filesystem::path& dir);

// How much of the processor the calling thread is given, as a rank in which more is higher: the
// negated nice value on POSIX, the thread priority on Windows.
int this_thread_rank();
