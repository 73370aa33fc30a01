// The desktop program's gdb server with a client's packets and the window thread's menu commands
// driving one machine at once, for ThreadSanitizer to watch; and the --gdb values it listens on.
#include "ui/shared/gdb_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "debugger/gdb/framing.h"
#include "debugger/register_windows.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "machine/stops/stops.h"
#include "platform/socket_system.h"
#include "tests/support/core_fixture.h"
#include "tests/support/program_rom.h"

namespace {

using std::chrono::milliseconds;

// A gdb client as far as the stress needs one: packets out, replies' payloads in.
class Client {
 public:
  explicit Client(const std::string& endpoint) : socket_(open_stream_socket(AF_INET, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port =
        htons(static_cast<uint16_t>(std::stoi(endpoint.substr(endpoint.find(':') + 1))));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { close_socket(socket_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return connected_; }
  void send(const std::string& bytes) { send_some(socket_, bytes.data(), bytes.size()); }

  // The payload of the next reply, skipping acknowledgements; nothing within `patience`.
  std::optional<std::string> reply(milliseconds patience = milliseconds(10'000)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
      const std::size_t begin = received_.find('$');
      const std::size_t end = received_.find('#', begin);
      if (begin != std::string::npos && end != std::string::npos && end + 2 < received_.size()) {
        std::string payload = received_.substr(begin + 1, end - begin - 1);
        received_.erase(0, end + 3);
        return payload;
      }
      const auto left =
          std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd wait{socket_, POLLIN, 0};
      if (wait_for_sockets(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
      char bytes[512];
      const long count = receive_some(socket_, bytes, sizeof bytes);
      if (count <= 0) return std::nullopt;
      received_.append(bytes, static_cast<std::size_t>(count));
    }
  }

  // Sends `packet` and waits for its reply; a continue is interrupted until it has stopped.
  std::optional<std::string> ask(const std::string& packet) {
    send(frame_packet(packet));
    if (packet != "c") return reply();
    for (int tries = 0; tries < 200; ++tries) {
      if (std::optional<std::string> stop = reply(milliseconds(5 + tries % 7))) return stop;
      send("\x03");
    }
    return std::nullopt;
  }

 private:
  Socket socket_;
  bool connected_ = false;
  std::string received_;
};

class GdbServiceTest : public CoreTest {};

TEST_F(GdbServiceTest, TheClientAndTheMenusDriveOneMachineAtOnce) {
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir,
                             "loop: addiu $t0, $t0, 1\n"
                             "      sw $t0, 0x100($zero)\n"
                             "      b loop\n"
                             "      nop\n"),
            1);
  // The loop below serves at once: nothing to wake.
  GdbService service([] {});
  ASSERT_TRUE(service.listen({"127.0.0.1", 0}));

  std::atomic<bool> client_done = false;
  std::atomic<int> unanswered = 0;
  std::thread client_thread([&] {
    Client client(service.endpoint());
    EXPECT_TRUE(client.connected());
    const char* packets[] = {"?",
                             "g",
                             "m4000040,8",
                             "s",
                             "c",
                             "Z0,4000048,4",
                             "c",
                             "z0,4000048,4",
                             "P8=0000000000000005",
                             "c"};
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
      const std::string packet = packets[random() % std::size(packets)];
      if (!client.ask(packet)) ++unanswered;
    }
    if (!client.ask("D")) ++unanswered;
    client_done = true;
  });

  // The window thread: the client's turns between the menu's commands, as the timer and the
  // service's wake-ups give them.
  std::mt19937 random(11);
  while (!client_done) {
    service.serve();
    switch (random() % 6) {
      case 0:
        start_cpu();
        break;
      case 1:
        shared.running = 0;  // Pause CPU
        break;
      case 2: {
        ExecutionController::ScopedPause pause(execution);
        reset_cpu();
        service.machine_replaced();
        break;
      }
      case 3:
        refresh_register_windows();
        break;
      default:
        std::this_thread::sleep_for(milliseconds(1));
        break;
    }
  }
  client_thread.join();
  service.serve();
  EXPECT_EQ(unanswered, 0);
  execution.end_run_thread();
}

// A client that goes away during its run leaves the machine paused where the run was, its
// breakpoints gone, and the next client is served.
TEST_F(GdbServiceTest, AClientThatGoesAwayLeavesTheMachinePausedForTheNext) {
  TempDir dir;
  ASSERT_EQ(load_program_rom(dir, "loop: addiu $t0, $t0, 1\n b loop\n nop\n"), 1);
  GdbService service([] {});
  ASSERT_TRUE(service.listen({"127.0.0.1", 0}));
  auto serve_until = [&](const std::atomic<bool>& done) {
    while (!done) {
      service.serve();
      std::this_thread::sleep_for(milliseconds(1));
    }
  };
  std::atomic<bool> gone = false;
  std::thread first([&] {
    Client client(service.endpoint());
    EXPECT_EQ(client.ask("Z0,4000050,4"), "OK");
    client.send(frame_packet("c"));
    // Until the run is under way: the session answers nothing meanwhile.
    while (!shared.running.load()) std::this_thread::sleep_for(milliseconds(1));
    gone = true;
  });
  serve_until(gone);
  first.join();
  // The client's end reaches the service's thread and then the session.
  while (execution.has_run_thread() && !execution.run_ended()) {
    service.serve();
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(shared.running.load(), 0);
  EXPECT_TRUE(user_breakpoints.empty());

  std::atomic<bool> answered = false;
  std::thread next([&] {
    Client client(service.endpoint());
    EXPECT_EQ(client.ask("?"), "T05thread:1;");
    EXPECT_EQ(client.ask("D"), "OK");
    answered = true;
  });
  serve_until(answered);
  next.join();
}

TEST(GdbEndpoint, TakesAPortAnAddressAndPortOrABracketedIpv6Address) {
  struct Case {
    const char* text;
    std::optional<std::pair<std::string, uint16_t>> endpoint;
  };
  const Case cases[] = {
      {"4567", {{"127.0.0.1", 4567}}},
      {"0", {{"127.0.0.1", 0}}},
      {"0.0.0.0:65535", {{"0.0.0.0", 65535}}},
      {"localhost:1", {{"localhost", 1}}},
      {"[::1]:2345", {{"::1", 2345}}},
      {"", std::nullopt},
      {"65536", std::nullopt},
      {"123456", std::nullopt},
      {"-1", std::nullopt},
      {":4567", std::nullopt},
      {"host:", std::nullopt},
      {"[::1]", std::nullopt},
      {"[]:1", std::nullopt},
      {"12ab", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<GdbEndpoint> parsed = parse_gdb_endpoint(c.text);
    ASSERT_EQ(parsed.has_value(), c.endpoint.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->address, c.endpoint->first);
    EXPECT_EQ(parsed->port, c.endpoint->second);
  }
}

}  // namespace
