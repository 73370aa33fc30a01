#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "base/connection.h"

// A TCP listening socket that serves one client at a time: while a client's connection is open,
// any further client is accepted and closed at once. Every wait ends when a stop is requested
// (see stop_signals.h).
class TcpServer {
 public:
  // How long a client may leave the server's answers unread before it is dropped, so that one
  // that stops reading cannot hold the server for ever.
  static constexpr std::chrono::seconds kUnreadAnswerLimit{5};

  TcpServer() = default;
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on `address` (an IPv4 or IPv6 address, or a host name) and `port`, 0 for any free
  // one. Returns why it could not, or an empty text.
  std::string listen(const std::string& address, uint16_t port);

  // Listens as `listen` does, for `program` (its name on standard error): what went wrong there,
  // or, off the loopback addresses, a warning that anyone who can reach the port can read and
  // change the emulated machine; then "listening on" the endpoint. False when it cannot listen.
  bool listen_and_announce(const char* program, const std::string& address, uint16_t port);

  // The address and port bound, "127.0.0.1:4567" or "[::1]:4567".
  const std::string& endpoint() const { return endpoint_; }
  // Whether only this machine can reach it.
  bool loopback() const { return loopback_; }

  // Waits up to `timeout` (for ever when negative) for the next client; null when the time ran
  // out or a stop has been requested.
  std::unique_ptr<Connection> accept(std::chrono::milliseconds timeout = std::chrono::milliseconds{
                                         -1});

 private:
  std::intptr_t socket_ = -1;  // the system's handle: an int on POSIX, a SOCKET on Windows
  std::string endpoint_;
  bool loopback_ = false;
};
