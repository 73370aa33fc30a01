#pragma once

#include <array>
#include <chrono>
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

// One gdb client, served over the Remote Serial Protocol in all-stop mode with a single thread,
// on the thread that owns the run API. The machine holds still while the client looks at it: a
// packet other than a continue first halts a run another part of the program started, and a
// continue follows such a run rather than starting one. A continue the client leaves or
// interrupts ends at an instruction boundary outside a delay slot. The user breakpoints and
// watchpoints are the client's: none is left behind when the session ends.
class GdbSession {
 public:
  // How a continue of the client's starts the run: `running` set and the run thread started,
  // unless the program has its own way (the desktop program's is Start CPU's).
  using StartRun = void (*)();
  static void start_plain_run();

  explicit GdbSession(Connection& connection, StartRun start_run = start_plain_run)
      : connection_(connection), start_run_(start_run) {}

  // Serves the client until the session ends, waiting for it. A run of the client's that it
  // leaves in the middle is paused.
  SessionEnd serve();

  // Serves what the client has sent so far, and the end of a run of its, without waiting for
  // more: the session's end, or nothing while it goes on.
  std::optional<SessionEnd> poll();

  // Whether a continue of the client's is under way.
  bool running() const { return running_; }
  // How many packets have been answered and stops reported so far.
  uint64_t answers() const { return answers_; }

  // The program ends the session: a client waiting for a stop is told the program has exited.
  void close();

 private:
  // What a packet asks: a reply, or the end of the session.
  std::optional<SessionEnd> handle(std::string_view packet);
  void reply(std::string_view payload);
  // The reply to a packet that neither resumes nor ends the session.
  std::string query_reply(std::string_view packet);
  // c, C, s, S, and the first action of a vCont: single-step and the stop reply, or a continue,
  // whose stop reply `poll` sends once the run has stopped.
  void resume(char action, std::string_view address);
  // Feeds the received bytes to the packet reader until a packet starts a run or ends the session.
  std::optional<SessionEnd> take_packets();
  // While a run of the client's is under way: Ctrl-C in what came interrupts it (in all-stop mode
  // the client sends nothing else meanwhile; anything else is dropped), and a run that has stopped
  // is reported.
  void follow_run();
  // Waits for the end of the client's run, and leaves the machine at rest.
  StopReason await_run_end();
  // What the client set goes with it.
  SessionEnd end(SessionEnd how);
  // bs and bc: one instruction back, or back to where a run would last have stopped, then the
  // stop reply. False when the client went away meanwhile.
  bool reverse(char action);
  void report_stop(StopReason reason);
  std::string stop_reply(StopReason reason);
  std::string watch_stop_reply();
  // Receives what the client has sent within `timeout` into the empty input; false once it has
  // gone.
  bool receive(std::chrono::milliseconds timeout);

  Connection& connection_;
  StartRun start_run_;
  PacketReader reader_;
  std::array<uint8_t, 4096> input_{};
  std::size_t input_begin_ = 0;
  std::size_t input_end_ = 0;
  bool acks_ = true;              // until QStartNoAckMode
  bool reports_swbreak_ = false;  // gdb offered swbreak+
  std::string last_reply_;        // framed, for a client's '-'
  std::string last_stop_ = "T05thread:1;";
  bool running_ = false;
  uint64_t steps_before_run_ = 0;  // the single steps taken before the client's run began
  uint64_t answers_ = 0;
};
