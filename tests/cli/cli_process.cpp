#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "tests/support/rom_image.h"

extern char** environ;

namespace {

constexpr auto kTimeout = std::chrono::seconds(60);

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// -1 when the process is still running after the timeout, which is then killed.
int wait_for(pid_t pid) {
  auto deadline = std::chrono::steady_clock::now() + kTimeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "korvel-cli did not end";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::vector<std::string> CliResult::out_lines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

CliResult run_cli(const std::vector<std::string>& args) {
  TempDir dir;
  const std::filesystem::path out = dir.path() / "out";
  const std::filesystem::path err = dir.path() / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<std::string> arguments{KORVEL_CLI};
  arguments.insert(arguments.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  CliResult result;
  pid_t pid;
  if (posix_spawn(&pid, KORVEL_CLI, &actions, nullptr, argv.data(), environ) != 0) {
    ADD_FAILURE() << "cannot start " << KORVEL_CLI;
  } else {
    result.status = wait_for(pid);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = read_file(out);
  result.err = read_file(err);
  return result;
}

std::string sample(const std::string& file) {
  return (std::filesystem::path(KORVEL_SAMPLES_DIR) / file).string();
}

bool ends_with_usage(const std::string& err) {
  return err.find("usage: korvel-cli info ROM\n") != std::string::npos &&
         err.ends_with("korvel-cli --help | --version\n");
}
