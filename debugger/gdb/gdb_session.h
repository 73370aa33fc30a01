#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/connection.h"
#include "debugger/gdb/framing.h"
#include "machine/execution.h"

// How a session ended.
enum class SessionEnd : uint8_t {
  detached,      // D: the machine stays as it is for the next client
  disconnected,  // the client went away, or the server was asked to stop
  killed,        // k or vKill: the program ends
};

// One gdb client, served over the Remote Serial Protocol in all-stop mode with a single thread.
// The machine holds still except during the client's continues, and a continue the client leaves
// or interrupts ends at an instruction boundary outside a delay slot.
class GdbSession {
 public:
  explicit GdbSession(Connection& connection) : connection_(connection) {}

  // Serves the client until the session ends. The user breakpoints are the client's: none is
  // left behind.
  SessionEnd serve();

 private:
  // What a packet asks: a reply, or the end of the session.
  std::optional<SessionEnd> handle(std::string_view packet);
  void reply(std::string_view payload);
  // The reply to a packet that neither resumes nor ends the session.
  std::string query_reply(std::string_view packet);
  // c, C, s, S, and the first action of a vCont: continue or single-step, then the stop reply.
  // False when the client went away during the run.
  bool resume(char action, std::string_view address);
  // Runs until a stop, watching the client for Ctrl-C meanwhile; nothing when it went away.
  std::optional<StopReason> run();
  // bs and bc: one instruction back, or back to where a run would last have stopped, then the
  // stop reply. False when the client went away meanwhile.
  bool reverse(char action);
  std::string stop_reply(StopReason reason);
  std::string watch_stop_reply();
  // The next byte from the client; nothing once it has gone.
  std::optional<uint8_t> next_byte();

  Connection& connection_;
  PacketReader reader_;
  std::array<uint8_t, 4096> input_{};
  std::size_t input_begin_ = 0;
  std::size_t input_end_ = 0;
  bool acks_ = true;              // until QStartNoAckMode
  bool reports_swbreak_ = false;  // gdb offered swbreak+
  std::string last_reply_;        // framed, for a client's '-'
  std::string last_stop_ = "T05thread:1;";
};
