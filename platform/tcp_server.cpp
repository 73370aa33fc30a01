#include "platform/tcp_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/stop_signals.h"

namespace {

bool is_loopback(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    return (ntohl(ipv4.sin_addr.s_addr) >> 24) == 127;
  }
  const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
  if (IN6_IS_ADDR_V4MAPPED(&ipv6)) return ipv6.s6_addr[12] == 127;
  return IN6_IS_ADDR_LOOPBACK(&ipv6);
}

std::string endpoint_text(const sockaddr_storage& address, socklen_t length) {
  char host[NI_MAXHOST];
  char port[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, port,
                  sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return "?";
  }
  if (address.ss_family == AF_INET6) return std::string("[") + host + "]:" + port;
  return std::string(host) + ":" + port;
}

// Waits for `fd` to become readable; false once a stop signal has arrived.
bool wait_readable(int fd) {
  pollfd wait{fd, POLLIN, 0};
  while (poll_until_stop(&wait, 1, -1) < 0) {
    if (errno != EINTR || stop_requested()) return false;
  }
  return true;
}

class TcpConnection final : public Connection {
 public:
  TcpConnection(int socket, int listener) : socket_(socket), listener_(listener) {}
  ~TcpConnection() override { close(socket_); }

  std::optional<std::size_t> receive(std::span<uint8_t> buffer,
                                     std::chrono::milliseconds timeout) override {
    pollfd waits[] = {{socket_, POLLIN, 0}, {listener_, POLLIN, 0}};
    for (;;) {
      int ready = poll_until_stop(waits, 2, static_cast<int>(timeout.count()));
      if (ready < 0 && errno == EINTR && !stop_requested()) continue;
      if (ready < 0) return std::nullopt;
      if (ready == 0) return 0;
      if (waits[1].revents & POLLIN) refuse_client();
      if (waits[0].revents != 0) break;
    }
    ssize_t received;
    do {
      received = recv(socket_, buffer.data(), buffer.size(), 0);
    } while (received < 0 && errno == EINTR);
    if (received <= 0) return std::nullopt;
    return static_cast<std::size_t>(received);
  }

  void send(std::string_view bytes) override {
    while (!bytes.empty()) {
      // A client that has gone must not end the program with SIGPIPE; `receive` reports it.
      ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

 private:
  void refuse_client() {
    int second = ::accept(listener_, nullptr, nullptr);
    if (second >= 0) close(second);
  }

  int socket_;
  int listener_;
};

}  // namespace

TcpServer::~TcpServer() {
  if (socket_ >= 0) close(socket_);
}

std::string TcpServer::listen(const std::string& address, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (int error = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found)) {
    return gai_strerror(error);
  }
  socket_ = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
  int error = socket_ < 0 ? errno : 0;
  if (!error) {
    // A restarted server takes its port back at once, while the last connection's is still
    // closing.
    int on = 1;
    setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(socket_, found->ai_addr, found->ai_addrlen) != 0 || ::listen(socket_, 4) != 0) {
      error = errno;
    }
  }
  freeaddrinfo(found);
  if (error) return std::strerror(error);

  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length);
  endpoint_ = endpoint_text(bound, length);
  loopback_ = is_loopback(bound);
  return {};
}

std::unique_ptr<Connection> TcpServer::accept() {
  for (;;) {
    if (!wait_readable(socket_)) return nullptr;
    int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    // The protocol is many small packets, each waiting for its answer.
    int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<TcpConnection>(client, socket_);
  }
}
