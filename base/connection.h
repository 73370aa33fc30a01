#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The byte stream to one gdb client. The session owns no socket: the platform layer supplies one
// over TCP, the tests and the fuzzer a scripted one.
class Connection {
 public:
  virtual ~Connection() = default;

  // Waits up to `timeout` (for ever when negative) for bytes from the client and stores up to
  // `buffer.size()` of them. Returns how many, 0 when the time ran out, or nothing once the client
  // has gone or the server has been asked to stop.
  virtual std::optional<std::size_t> receive(std::span<uint8_t> buffer,
                                             std::chrono::milliseconds timeout) = 0;

  // Sends all of `bytes`. A client that has gone shows at the next `receive`.
  virtual void send(std::string_view bytes) = 0;
};
