#include <cstdio>

#include "platform/console_output.h"

void write_program_text(const char* text, std::size_t length) {
  std::fwrite(text, 1, length, stdout);
  std::fflush(stdout);
}
