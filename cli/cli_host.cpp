#include "cli/cli_host.h"

#include <cstdio>

void CliHost::message_box(const char* caption, const char* text) {
  std::string line = caption;
  line += ": ";
  for (const char* c = text; *c; ++c) {
    if (*c == '\n') {
      line += "\\n";
    } else {
      line += *c;
    }
  }
  line += '\n';
  // What was printed before the message comes before it, also when both streams go to one file.
  std::fflush(stdout);
  std::fputs(line.c_str(), stderr);
}
