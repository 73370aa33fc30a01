#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/connection.h"

// A gdb client whose bytes are known in advance: each receive hands out (as much as fits of) the
// next chunk, an empty chunk stands for a wait that times out, and after the last chunk the client
// has gone. What the session sends is kept in `sent`.
class ScriptedConnection final : public Connection {
 public:
  explicit ScriptedConnection(std::vector<std::string> chunks) : chunks_(std::move(chunks)) {}

  std::optional<std::size_t> receive(std::span<uint8_t> buffer,
                                     std::chrono::milliseconds timeout) override {
    if (next_ == chunks_.size()) return std::nullopt;
    const std::string& chunk = chunks_[next_];
    if (chunk.empty()) {
      ++next_;
      if (timeout.count() > 0) std::this_thread::sleep_for(timeout);
      return 0;
    }
    std::size_t count = std::min(buffer.size(), chunk.size() - offset_);
    std::copy_n(chunk.begin() + offset_, count, buffer.begin());
    offset_ += count;
    if (offset_ == chunk.size()) {
      ++next_;
      offset_ = 0;
    }
    return count;
  }

  void send(std::string_view bytes) override { sent += bytes; }

  std::string sent;

 private:
  std::vector<std::string> chunks_;
  std::size_t next_ = 0;
  std::size_t offset_ = 0;
};
