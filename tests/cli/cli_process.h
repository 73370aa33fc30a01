#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/rom_image.h"

// What one run of a program printed and returned.
struct CliResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status; -1 when it did not exit by itself

  std::vector<std::string> out_lines() const;
};

// Runs `program` with `args` and waits for it (killing it after a generous timeout).
CliResult run_program(const std::string& program, const std::vector<std::string>& args);

// The korvel-cli under test: the one built beside the tests, or the program KORVEL_CLI names in the
// environment (the Windows build's, under Wine, say).
std::string cli_program();

// Runs the korvel-cli under test with `args` and waits for it.
CliResult run_cli(const std::vector<std::string>& args);

// Whether the korvel-cli under test is a Windows program, run under Wine (KORVEL_CLI_FOR_WINDOWS
// set in the environment).
bool cli_for_windows();

// The signal that asks a server to end: SIGTERM, or SIGINT for a Windows program, since Windows has
// no SIGTERM and Wine hands SIGINT on as Ctrl-C.
int end_request_signal();

// The korvel-cli under test started in the background, its standard error going to a file. Killed
// when it goes out of scope while still running.
class BackgroundCli {
 public:
  explicit BackgroundCli(const std::vector<std::string>& args);
  ~BackgroundCli();
  BackgroundCli(const BackgroundCli&) = delete;
  BackgroundCli& operator=(const BackgroundCli&) = delete;

  pid_t pid() const { return pid_; }
  // What it has printed to standard error so far.
  std::string err() const;
  // Waits until its standard error holds `text`; false after a generous timeout.
  bool wait_for_err(const std::string& text) const;
  // Waits for it to end: its exit status, or -1 (and a failure) as for `run_program`.
  int wait();

 private:
  TempDir dir_;
  pid_t pid_ = -1;
};

// The `--regs` lines of an output, by register name: the lines of two words whose first does not
// end with a colon, as "stopped:" does.
std::map<std::string, std::string> registers(const CliResult& result);

// A sample ROM built from samples/, e.g. "demo.z64" (from KORVEL_SAMPLES_DIR in the environment
// when it is set).
std::string sample(const std::string& file);

// The short usage text every usage error ends with.
bool ends_with_usage(const std::string& err);
