#pragma once

#include <string>

#include "machine/host.h"
#include "platform/console_output.h"

// `text` with every line break written as the two characters \n, so that it prints as one line
// of the output that scripts read line by line.
std::string one_line(const char* text);

// korvel-cli's host. A message box is one line on standard error, counted as dismissed at once;
// the title is only remembered, for `--show-count`.
class CliHost final : public Host {
 public:
  // Called from the run thread as well: each line goes out in one write of its own.
  void message_box(const char* caption, const char* text) override;
  // Called by the window thread only.
  void set_title(const char* text) override { last_title_ = text; }
  void program_output(const char* text, std::size_t length) override {
    write_program_text(text, length);
  }

  const std::string& last_title() const { return last_title_; }

 private:
  std::string last_title_;
};
