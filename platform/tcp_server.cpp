#include "platform/tcp_server.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/socket_system.h"

namespace {

using std::chrono::steady_clock;

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

int milliseconds(std::chrono::milliseconds duration) {
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(duration.count(), 0));
}

class TcpConnection final : public Connection {
 public:
  TcpConnection(Socket socket, Socket listener) : socket_(socket), listener_(listener) {}
  ~TcpConnection() override { close_socket(socket_); }

  std::optional<std::size_t> receive(std::span<uint8_t> buffer,
                                     std::chrono::milliseconds timeout) override {
    pollfd waits[] = {{socket_, POLLIN, 0}, {listener_, POLLIN, 0}};
    while (!gone_) {
      int ready = wait_for_sockets(waits, 2, static_cast<int>(timeout.count()));
      if (ready < 0) return std::nullopt;
      if (ready == 0) return 0;
      // The client's own bytes or its going come first: one that closed and at once connected
      // again waits in the queue behind it, and must not be refused as a second client.
      if (waits[0].revents == 0) {
        if (waits[1].revents & POLLIN) refuse_client();
        continue;
      }
      long received = receive_some(socket_, reinterpret_cast<char*>(buffer.data()), buffer.size());
      if (received == kWouldWait) continue;
      if (received <= 0) break;
      return static_cast<std::size_t>(received);
    }
    gone_ = true;
    return std::nullopt;
  }

  void send(std::string_view bytes) override {
    steady_clock::time_point deadline = steady_clock::now() + TcpServer::kUnreadAnswerLimit;
    while (!bytes.empty() && !gone_) {
      long sent = send_some(socket_, bytes.data(), bytes.size());
      if (sent > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(sent));
        deadline = steady_clock::now() + TcpServer::kUnreadAnswerLimit;
        continue;
      }
      // A client that stops reading is dropped at the deadline, and a stop ends the wait at once.
      pollfd wait{socket_, POLLOUT, 0};
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
      gone_ = sent != kWouldWait || left.count() <= 0 ||
              wait_for_sockets(&wait, 1, milliseconds(left)) <= 0;
    }
  }

 private:
  void refuse_client() {
    Socket second = accept_client(listener_);
    if (second != kNoSocket) close_socket(second);
  }

  Socket socket_;
  Socket listener_;
  // The client has gone, or was dropped; `receive` reports it. A desktop program sends on its
  // window thread while another thread receives.
  std::atomic<bool> gone_ = false;
};

}  // namespace

TcpServer::~TcpServer() {
  if (socket_ != -1) close_socket(static_cast<Socket>(socket_));
}

std::string TcpServer::listen(const std::string& address, uint16_t port) {
  if (std::string error = start_sockets(); !error.empty()) return error;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (int error = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found)) {
    return gai_strerror(error);
  }
  Socket listener = open_stream_socket(found->ai_family, found->ai_protocol);
  std::string error;
  if (listener == kNoSocket) {
    error = last_socket_error();
  } else {
    socket_ = static_cast<std::intptr_t>(listener);
    reclaim_port_quickly(listener);
    // Clients that reconnect at once wait in the queue, not for a retry.
    if (bind(listener, found->ai_addr, static_cast<socklen_t>(found->ai_addrlen)) != 0 ||
        ::listen(listener, SOMAXCONN) != 0) {
      error = last_socket_error();
    }
  }
  freeaddrinfo(found);
  if (!error.empty()) return error;

  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
  endpoint_ = endpoint_text(bound, length);
  loopback_ = is_loopback(bound);
  return {};
}

bool TcpServer::listen_and_announce(const char* program, const std::string& address,
                                    uint16_t port) {
  if (std::string error = listen(address, port); !error.empty()) {
    std::fprintf(stderr, "%s: cannot listen on %s port %u: %s\n", program, address.c_str(), port,
                 error.c_str());
    return false;
  }
  if (!loopback_) {
    std::fprintf(stderr,
                 "%s: warning: %s is not a loopback address: anyone who can reach the port can "
                 "read and change the emulated machine\n",
                 program, endpoint_.c_str());
  }
  std::fprintf(stderr, "listening on %s\n", endpoint_.c_str());
  return true;
}

std::unique_ptr<Connection> TcpServer::accept(std::chrono::milliseconds timeout) {
  const Socket listener = static_cast<Socket>(socket_);
  for (;;) {
    pollfd wait{listener, POLLIN, 0};
    if (wait_for_sockets(&wait, 1, static_cast<int>(timeout.count())) <= 0) return nullptr;
    Socket client = accept_client(listener);
    if (client == kNoSocket) continue;
    // The protocol is many small packets, each waiting for its answer.
    int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return std::make_unique<TcpConnection>(client, listener);
  }
}
