#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

// The Log window's text: what the program writes to its debug output (libdragon's debugf, through
// the ISViewer), the last kKept lines of it.
class LogLines {
 public:
  static constexpr std::size_t kKept = 10000;

  void append(std::string_view text);
  // The lines kept, each ended by a newline but the last when it is still being written.
  std::string text() const;
  std::size_t line_count() const { return lines_.size(); }

 private:
  std::deque<std::string> lines_;
  bool last_open_ = false;  // the last line has had no newline yet
};
