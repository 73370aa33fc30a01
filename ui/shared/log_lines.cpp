#include "ui/shared/log_lines.h"

void LogLines::append(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view piece = text.substr(0, end);
    if (last_open_) {
      lines_.back().append(piece);
    } else {
      lines_.emplace_back(piece);
    }
    last_open_ = end == std::string_view::npos;
    text.remove_prefix(last_open_ ? text.size() : end + 1);
  }
  while (lines_.size() > kKept) lines_.pop_front();
}

std::string LogLines::text() const {
  std::string joined;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    joined += lines_[i];
    if (i + 1 < lines_.size() || !last_open_) joined += '\n';
  }
  return joined;
}
