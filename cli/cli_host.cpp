#include "cli/cli_host.h"

#include <cstdio>

std::string one_line(const char* text) {
  std::string line;
  for (const char* c = text; *c; ++c) {
    if (*c == '\n') {
      line += "\\n";
    } else {
      line += *c;
    }
  }
  return line;
}

void CliHost::message_box(const char* caption, const char* text) {
  std::string line = caption;
  line += ": ";
  line += one_line(text);
  line += '\n';
  // What was printed before the message comes before it, also when both streams go to one file.
  std::fflush(stdout);
  std::fputs(line.c_str(), stderr);
}
