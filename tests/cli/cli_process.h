#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What one run of the built korvel-cli printed and returned.
struct CliResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status; -1 when it did not exit by itself

  std::vector<std::string> out_lines() const;
};

// Runs korvel-cli with `args` and waits for it (killing it after a generous timeout).
CliResult run_cli(const std::vector<std::string>& args);

// A sample ROM built from samples/, e.g. "demo.z64".
std::string sample(const std::string& file);

// The short usage text every usage error ends with.
bool ends_with_usage(const std::string& err);
