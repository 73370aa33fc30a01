// The gdb server's socket, driven by real clients over the loopback address.
#include "platform/tcp_server.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/socket_system.h"

namespace {

Socket connect_to(const TcpServer& server) {
  const std::string& endpoint = server.endpoint();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port =
      htons(static_cast<uint16_t>(std::stoi(endpoint.substr(endpoint.find(':') + 1))));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Socket client = open_stream_socket(AF_INET, 0);
  EXPECT_EQ(connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  return client;
}

// Whether the server has closed `client`'s connection; waits until it either has or sends.
bool closed_by_server(Socket client) {
  pollfd wait{client, POLLIN, 0};
  char byte;
  return wait_for_sockets(&wait, 1, 60'000) == 1 && receive_some(client, &byte, 1) == 0;
}

// Whether `client` is still waiting, neither served nor refused.
bool still_waiting(Socket client) {
  pollfd wait{client, POLLIN, 0};
  return wait_for_sockets(&wait, 1, 0) == 0;
}

TEST(TcpServer, ServesOneClientAtATimeAndOneThatReconnectsAtOnce) {
  TcpServer server;
  ASSERT_EQ(server.listen("127.0.0.1", 0), "");
  EXPECT_TRUE(server.loopback());
  Socket first = connect_to(server);
  std::unique_ptr<Connection> serving = server.accept();
  ASSERT_TRUE(serving);

  // A client that goes without a word and comes straight back: both have happened by the time
  // the server looks, and the server must see its client gone rather than refuse the new one.
  close_socket(first);
  Socket again = connect_to(server);
  uint8_t buffer[16];
  EXPECT_FALSE(serving->receive(buffer, std::chrono::milliseconds(-1)));
  ASSERT_TRUE(still_waiting(again));
  serving = server.accept();
  ASSERT_TRUE(serving);
  ASSERT_EQ(send_some(again, "?", 1), 1);
  EXPECT_EQ(serving->receive(buffer, std::chrono::milliseconds(-1)), 1u);

  // Meanwhile anyone else is let in and closed at once.
  Socket other = connect_to(server);
  EXPECT_EQ(serving->receive(buffer, std::chrono::milliseconds(0)), 0u);
  EXPECT_TRUE(closed_by_server(other));
  serving->send("+");
  EXPECT_EQ(receive_some(again, reinterpret_cast<char*>(buffer), sizeof buffer), 1);
  close_socket(other);
  close_socket(again);
}

}  // namespace
