#include "debugger/gdb/gdb_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>

#include "debugger/gdb/hex.h"
#include "debugger/gdb/machine_packets.h"
#include "debugger/gdb/register_layout.h"
#include "machine/debug_access.h"
#include "machine/history/history.h"
#include "machine/host.h"
#include "machine/machine_state.h"

namespace {

constexpr uint8_t kCtrlC = 0x03;
constexpr std::chrono::milliseconds kForever{-1};
constexpr std::chrono::milliseconds kNoWait{0};
// How long a run waits for the client before it looks at the run again: short, because gdb's
// stepi is a continue to a breakpoint a few instructions on.
constexpr std::chrono::milliseconds kRunPoll{1};

std::string supported_reply() {
  char packet_size[32];
  std::snprintf(packet_size, sizeof packet_size, "PacketSize=%zx", kMaxPacketSize);
  return std::string(packet_size) + ";QStartNoAckMode+;qXfer:features:read+;swbreak+" +
         (history.recording() ? ";ReverseStep+;ReverseContinue+" : "");
}

// A watchpoint's stop names its kind and the data address, as gdb sends addresses: sign-extended
// to 64 bits.
std::string watch_reply(const WatchHit& hit) {
  const char* kind = hit.kind == WatchKind::write  ? "watch"
                     : hit.kind == WatchKind::read ? "rwatch"
                                                   : "awatch";
  std::string reply = std::string("T05") + kind + ":";
  append_hex_u64(reply,
                 static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(hit.address))));
  return reply + ";thread:1;";
}

bool holds_ctrl_c(std::span<const uint8_t> bytes) {
  return std::ranges::find(bytes, kCtrlC) != bytes.end();
}

// Whether gdb's qSupported lists `feature` ("name+") among its ';'-separated features.
bool offers(std::string_view packet, std::string_view feature) {
  auto features = split_at(packet, ':');
  for (std::string_view rest = features ? features->second : ""; !rest.empty();) {
    auto first_and_rest = split_at(rest, ';');
    if ((first_and_rest ? first_and_rest->first : rest) == feature) return true;
    rest = first_and_rest ? first_and_rest->second : "";
  }
  return false;
}

// A continue without an address: one that can follow a run already going on.
bool follows_the_run(std::string_view packet) {
  return packet == "c" || packet.starts_with("vCont;c") || packet.starts_with("vCont;C");
}

}  // namespace

void GdbSession::start_plain_run() {
  shared.running = 1;
  execution.start();
}

SessionEnd GdbSession::serve() {
  for (;;) {
    if (std::optional<SessionEnd> ended = poll()) return *ended;
    // While the run goes on, its message boxes are served here.
    if (running_) host().serve_pending_requests();
    if (!receive(running_ ? kRunPoll : kForever)) return end(SessionEnd::disconnected);
  }
}

std::optional<SessionEnd> GdbSession::poll() {
  for (;;) {
    if (input_begin_ == input_end_ && !receive(kNoWait)) return end(SessionEnd::disconnected);
    if (running_) {
      follow_run();
      if (running_) return std::nullopt;
    } else if (input_begin_ == input_end_) {
      return std::nullopt;
    } else if (std::optional<SessionEnd> ended = take_packets()) {
      return end(*ended);
    }
  }
}

void GdbSession::close() {
  if (running_) {
    execution.halt();
    running_ = false;
    reply("W00");  // the program the client was running has gone
  }
  end(SessionEnd::disconnected);
}

std::optional<SessionEnd> GdbSession::take_packets() {
  while (input_begin_ < input_end_ && !running_) {
    ByteEvent event = reader_.feed(input_[input_begin_++]);
    if (!acks_ && event != ByteEvent::packet) continue;
    if (event == ByteEvent::bad_packet) connection_.send("-");
    if (event == ByteEvent::nak) connection_.send(last_reply_);
    if (event != ByteEvent::packet) continue;
    if (acks_) connection_.send("+");
    if (std::optional<SessionEnd> ended = handle(reader_.payload())) return ended;
  }
  return std::nullopt;
}

void GdbSession::follow_run() {
  // Bytes that came with the packet that asked for the run count as sent during it.
  if (holds_ctrl_c(std::span(input_).subspan(input_begin_, input_end_ - input_begin_)))
    execution.interrupt();
  input_begin_ = input_end_ = 0;
  if (!execution.run_ended()) return;
  const StopReason reason = await_run_end();
  // A step another part of the program took (a debugger window's) ended the run: the client sees
  // a step.
  report_stop(execution.steps_taken() != steps_before_run_ ? StopReason::step_done : reason);
}

StopReason GdbSession::await_run_end() {
  running_ = false;
  execution.set_steps_end_runs(false);
  const StopReason reason = execution.wait_for_run_end();
  // A breakpoint's or an interrupt's stop leaves `running` set: the machine is at rest now, as the
  // windows and the Screen show it.
  shared.running = 0;
  return reason;
}

SessionEnd GdbSession::end(SessionEnd how) {
  // Nobody is left to tell of a stop: the run pauses where it is.
  if (running_) {
    execution.interrupt();
    await_run_end();
  }
  user_breakpoints.clear();
  watchpoints.clear();
  return how;
}

std::optional<SessionEnd> GdbSession::handle(std::string_view packet) {
  // All-stop: the client sees the machine at rest, unless it follows the run.
  if (!follows_the_run(packet) && !execution.run_ended()) execution.halt();
  if (packet == "D" || packet.starts_with("D;")) {
    reply("OK");
    return SessionEnd::detached;
  }
  if (packet == "k") return SessionEnd::killed;
  if (packet.starts_with("vKill")) {
    reply("OK");
    return SessionEnd::killed;
  }
  bool client_stays = true;
  if (packet.starts_with("vCont;") && packet.size() > 6) {
    resume(packet[6], "");
  } else if (packet.starts_with('c') || packet.starts_with('s')) {
    resume(packet[0], packet.substr(1));
  } else if (packet == "bs" || packet == "bc") {
    client_stays = reverse(packet[1]);
  } else if (packet.starts_with('C') || packet.starts_with('S')) {
    // The signal gdb would deliver means nothing to this processor; an address may follow it.
    auto signal_and_address = split_at(packet, ';');
    resume(packet[0], signal_and_address ? signal_and_address->second : "");
  } else if (packet == "QStartNoAckMode") {
    reply("OK");  // the last packet either side acknowledges
    acks_ = false;
  } else {
    reply(query_reply(packet));
  }
  if (!client_stays) return SessionEnd::disconnected;
  return std::nullopt;
}

std::string GdbSession::query_reply(std::string_view packet) {
  if (packet == "?") return last_stop_;
  if (packet.starts_with("qSupported")) {
    reports_swbreak_ = offers(packet, "swbreak+");
    return supported_reply();
  }
  if (packet == "vCont?") return "vCont;c;C;s;S";
  return machine_packet_reply(packet);
}

void GdbSession::reply(std::string_view payload) {
  ++answers_;
  last_reply_ = frame_packet(payload);
  connection_.send(last_reply_);
}

void GdbSession::resume(char action, std::string_view address) {
  if (action != 'c' && action != 'C' && action != 's' && action != 'S') {
    reply("");
    return;
  }
  if (!address.empty()) {
    std::optional<uint32_t> pc = parse_address(address);
    if (!pc) {
      reply("E01");
      return;
    }
    write_gdb_register(kGdbPc, *pc);
  }
  if (action == 's' || action == 'S') {
    report_stop(execution.step());
    return;
  }
  if (execution.run_ended()) start_run_();
  running_ = true;
  steps_before_run_ = execution.steps_taken();
  execution.set_steps_end_runs(true);
}

// gdb takes a watchpoint's stop on MIPS as the processor's own watch exception comes, before the
// access, and steps over the instruction itself to show the values: the history takes the machine
// back to just before the access. Without one the stop stays after it, an instruction later.
std::string GdbSession::watch_stop_reply() {
  const std::optional<WatchHit> hit = take_watch_hit();
  if (history.recording()) history.step_back();
  return hit ? watch_reply(*hit) : "T05thread:1;";
}

bool GdbSession::reverse(char action) {
  if (!history.recording()) {
    reply("");  // unsupported: there is no history to go back in
    return true;
  }
  // As during a run, the client sends nothing but Ctrl-C, and what came with the packet counts.
  bool interrupted =
      holds_ctrl_c(std::span(input_).subspan(input_begin_, input_end_ - input_begin_));
  bool gone = false;
  input_begin_ = input_end_ = 0;
  auto keep_going = [&] {
    std::optional<std::size_t> received = connection_.receive(input_, kNoWait);
    gone = !received;
    if (received) interrupted |= holds_ctrl_c(std::span(input_).first(*received));
    return !gone && !interrupted;
  };
  const ReverseEnd end =
      action == 's' ? history.step_back(keep_going) : history.continue_back(keep_going);
  if (gone) return false;
  if (end == ReverseEnd::interrupted) {
    last_stop_ = stop_reply(StopReason::paused);
  } else if (end == ReverseEnd::at_start) {
    last_stop_ = "T05thread:1;replaylog:begin;";
  } else if (action == 'c' && history.landing_watch()) {
    last_stop_ = watch_reply(*history.landing_watch());
  } else {
    // A step back is a step, wherever it lands.
    const bool at_breakpoint = action == 'c' && user_breakpoints.contains(next_fetch_address());
    last_stop_ = stop_reply(at_breakpoint ? StopReason::user_breakpoint : StopReason::step_done);
  }
  reply(last_stop_);
  return true;
}

void GdbSession::report_stop(StopReason reason) {
  last_stop_ = stop_reply(reason);
  reply(last_stop_);
}

std::string GdbSession::stop_reply(StopReason reason) {
  switch (reason) {
    case StopReason::unhandled_opcode:
      return "T04thread:1;";  // SIGILL
    case StopReason::memory_error:
      return "T0bthread:1;";  // SIGSEGV
    case StopReason::paused:
      return "T02thread:1;";  // SIGINT: only an interrupt pauses a run of the client's
    case StopReason::user_breakpoint:
      return reports_swbreak_ ? "T05swbreak:;thread:1;" : "T05thread:1;";
    case StopReason::watchpoint:
      return watch_stop_reply();
    case StopReason::breakpoint_address:
    case StopReason::stop_address:
    case StopReason::step_done:
      break;
  }
  return "T05thread:1;";  // SIGTRAP
}

bool GdbSession::receive(std::chrono::milliseconds timeout) {
  std::optional<std::size_t> received = connection_.receive(input_, timeout);
  if (!received) return false;
  input_begin_ = 0;
  input_end_ = *received;
  return true;
}
