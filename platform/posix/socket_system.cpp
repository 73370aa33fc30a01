#include "platform/socket_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string start_sockets() {
  return {};
}

Socket open_stream_socket(int family, int protocol) {
  return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, protocol);
}

Socket accept_client(Socket listener) {
  return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

void close_socket(Socket socket) {
  ::close(socket);
}

void reclaim_port_quickly(Socket socket) {
  int on = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

std::string last_socket_error() {
  return std::strerror(errno);
}

long send_some(Socket socket, const char* bytes, std::size_t count) {
  for (;;) {
    // A client that has gone must not end the program with SIGPIPE.
    ssize_t sent = ::send(socket, bytes, count, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldWait;
    if (errno != EINTR) return -1;
  }
}

long receive_some(Socket socket, char* bytes, std::size_t count) {
  for (;;) {
    ssize_t received = ::recv(socket, bytes, count, 0);
    if (received >= 0) return static_cast<long>(received);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldWait;
    if (errno != EINTR) return -1;
  }
}
