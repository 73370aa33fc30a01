#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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
      ADD_FAILURE() << "the program did not end";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts `program` with `args`, its standard output and error going to the files given (none: not
// redirected); -1 when it cannot be started.
pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::filesystem::path& out, const std::filesystem::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!out.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<std::string> arguments{program};
  arguments.insert(arguments.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t pid;
  // posix_spawnp: a program named without a folder is looked for in PATH.
  int error = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    ADD_FAILURE() << "cannot start " << program;
    return -1;
  }
  return pid;
}

}  // namespace

std::vector<std::string> CliResult::out_lines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

CliResult run_program(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  const std::filesystem::path out = dir.path() / "out";
  const std::filesystem::path err = dir.path() / "err";
  CliResult result;
  pid_t pid = spawn(program, args, out, err);
  if (pid > 0) result.status = wait_for(pid);
  result.out = read_file(out);
  result.err = read_file(err);
  return result;
}

std::string cli_program() {
  const char* named = std::getenv("KORVEL_CLI");
  return named ? named : KORVEL_CLI;
}

CliResult run_cli(const std::vector<std::string>& args) {
  return run_program(cli_program(), args);
}

bool cli_for_windows() {
  return std::getenv("KORVEL_CLI_FOR_WINDOWS") != nullptr;
}

int end_request_signal() {
  return cli_for_windows() ? SIGINT : SIGTERM;
}

BackgroundCli::BackgroundCli(const std::vector<std::string>& args)
    : pid_(spawn(cli_program(), args, {}, dir_.path() / "err")) {}

BackgroundCli::~BackgroundCli() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::string BackgroundCli::err() const {
  return read_file(dir_.path() / "err");
}

bool BackgroundCli::wait_for_err(const std::string& text) const {
  auto deadline = std::chrono::steady_clock::now() + kTimeout;
  while (err().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int BackgroundCli::wait() {
  if (pid_ <= 0) return -1;
  int status = wait_for(pid_);
  pid_ = -1;
  return status;
}

std::map<std::string, std::string> registers(const CliResult& result) {
  std::map<std::string, std::string> values;
  for (const std::string& line : result.out_lines()) {
    std::size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0 || line[blank - 1] == ':') continue;
    if (line.find(' ', blank + 1) == std::string::npos)
      values[line.substr(0, blank)] = line.substr(blank + 1);
  }
  return values;
}

std::string sample(const std::string& file) {
  const char* named = std::getenv("KORVEL_SAMPLES_DIR");
  return (std::filesystem::path(named ? named : KORVEL_SAMPLES_DIR) / file).string();
}

bool ends_with_usage(const std::string& err) {
  return err.find("usage: korvel-cli info ROM\n") != std::string::npos &&
         err.ends_with("korvel-cli --help | --version\n");
}
