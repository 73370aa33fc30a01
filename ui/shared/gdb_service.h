#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "debugger/gdb/gdb_session.h"
#include "platform/tcp_server.h"

// Where the desktop program's gdb server listens, as --gdb gives it: "[ADDR:]PORT", an IPv6
// address in brackets.
struct GdbEndpoint {
  std::string address = "127.0.0.1";
  uint16_t port = 0;
};
// Nothing when `text` is not of that form with a port from 0 to 65535.
std::optional<GdbEndpoint> parse_gdb_endpoint(std::string_view text);
// What the desktop programs say of a --gdb value that is not.
inline constexpr const char* kGdbEndpointError = "--gdb takes [ADDR:]PORT, PORT from 0 to 65535.";

// The desktop program's gdb server: one client at a time, served by the session korvel-cli's
// server uses, on the window thread, over the machine the windows show, so that gdb and the menus
// drive one machine by the same rules. A thread of the service's own waits for clients and their
// bytes and hands them over; it never touches the machine.
class GdbService {
 public:
  // `wake`, called on the service's thread, has the window thread call `serve` soon.
  explicit GdbService(std::function<void()> wake) : wake_(std::move(wake)) {}
  // Ends the session, telling a client that waits for a stop that the program has exited, and
  // the service's thread.
  ~GdbService();
  GdbService(const GdbService&) = delete;
  GdbService& operator=(const GdbService&) = delete;

  // Listens and announces it on standard error as korvel-cli does; false when it cannot.
  bool listen(const GdbEndpoint& where);
  // The address and port listened on, as `TcpServer::endpoint` gives them.
  const std::string& endpoint() const { return server_.endpoint(); }

  // Window thread: serves what the client has sent and the end of its runs. Not while this thread
  // holds the run thread paused or shows a message box the run thread waits on: a halt would then
  // wait for ever, and a later call serves instead. True when the client has had an answer, so
  // that the windows show what it sees.
  bool serve();

  // Window thread: a ROM loaded, reset or closed; stepping backwards starts again from the next
  // point the machine is at rest.
  void machine_replaced() { history_stale_ = true; }

 private:
  class ClientLink;

  void wait_for_clients();

  std::function<void()> wake_;
  TcpServer server_;
  std::thread thread_;
  std::atomic<bool> closing_ = false;
  std::mutex arriving_mutex_;
  std::shared_ptr<ClientLink> arriving_;  // under `arriving_mutex_`: a client not served yet
  // Window thread only.
  std::shared_ptr<ClientLink> link_;
  std::optional<GdbSession> session_;
  bool serving_ = false;
  bool history_stale_ = true;
};
