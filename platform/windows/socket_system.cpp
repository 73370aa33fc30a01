#include "platform/socket_system.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "error_text.h"
#include "platform/stop_signals.h"

namespace {

// A datagram socket on the loopback address that every wait watches besides its own sockets; the
// stop handler sends it a byte. It is never read: once a stop has been requested no wait lasts.
std::atomic<Socket> wake_socket{kNoSocket};

Socket open_wake_socket() {
  Socket socket =
      WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  sockaddr_in self{};
  self.sin_family = AF_INET;
  self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socket != kNoSocket &&
      bind(socket, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) {
    closesocket(socket);
    socket = kNoSocket;
  }
  return socket;
}

}  // namespace

std::string start_sockets() {
  static const std::string error = [] {
    WSADATA data;
    if (int failed = WSAStartup(MAKEWORD(2, 2), &data)) return error_text(failed);
    Socket wake = open_wake_socket();
    if (wake == kNoSocket) return error_text(WSAGetLastError());
    wake_socket = wake;
    return std::string();
  }();
  return error;
}

void wake_socket_waits() {
  Socket wake = wake_socket;
  if (wake == kNoSocket) return;
  sockaddr_in self{};
  int length = sizeof self;
  if (getsockname(wake, reinterpret_cast<sockaddr*>(&self), &length) == 0) {
    sendto(wake, "", 1, 0, reinterpret_cast<const sockaddr*>(&self), length);
  }
}

Socket open_stream_socket(int family, int protocol) {
  return WSASocketW(family, SOCK_STREAM, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
}

Socket accept_client(Socket listener) {
  Socket client = accept(listener, nullptr, nullptr);
  if (client == kNoSocket) return client;
  SetHandleInformation(reinterpret_cast<HANDLE>(client), HANDLE_FLAG_INHERIT, 0);
  u_long non_blocking = 1;
  ioctlsocket(client, FIONBIO, &non_blocking);
  return client;
}

void close_socket(Socket socket) {
  closesocket(socket);
}

// SO_REUSEADDR would let any program take the port over here; Windows frees a server's port at
// once without it.
void reclaim_port_quickly(Socket socket) {
  BOOL on = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
             sizeof on);
}

std::string last_socket_error() {
  return error_text(WSAGetLastError());
}

long send_some(Socket socket, const char* bytes, std::size_t count) {
  int sent = send(socket, bytes, static_cast<int>(std::min<std::size_t>(count, 1 << 30)), 0);
  if (sent != SOCKET_ERROR) return sent;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldWait : -1;
}

long receive_some(Socket socket, char* bytes, std::size_t count) {
  int received = recv(socket, bytes, static_cast<int>(std::min<std::size_t>(count, 1 << 30)), 0);
  if (received != SOCKET_ERROR) return received;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldWait : -1;
}

int wait_for_sockets(pollfd* waits, std::size_t count, int timeout_ms) {
  pollfd all[4];
  if (count >= std::size(all)) return -1;
  std::copy(waits, waits + count, all);
  all[count] = {wake_socket, POLLIN, 0};
  if (stop_requested()) return -1;
  int ready = WSAPoll(all, static_cast<ULONG>(count + 1), timeout_ms);
  if (ready < 0 || stop_requested()) return -1;
  std::copy(all, all + count, waits);
  return ready;
}
