#include "ui/shared/gdb_service.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <span>
#include <utility>

#include "machine/execution.h"
#include "machine/history/history.h"
#include "machine/host.h"
#include "machine/menu_commands.h"

namespace {

// How often the service's thread looks up from its waits to see whether it is to end.
constexpr std::chrono::milliseconds kLook{50};

std::optional<uint16_t> parse_port(std::string_view digits) {
  if (digits.empty() || digits.size() > 5 ||
      !std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  unsigned port = 0;
  for (char digit : digits) port = port * 10 + static_cast<unsigned>(digit - '0');
  if (port > 0xFFFF) return std::nullopt;
  return static_cast<uint16_t>(port);
}

// The client's continues run as Start CPU's do, so that the title and the menus show them.
void start_run_as_the_menu_does() {
  start_cpu();
}

}  // namespace

std::optional<GdbEndpoint> parse_gdb_endpoint(std::string_view text) {
  GdbEndpoint endpoint;
  std::string_view port = text;
  if (text.starts_with('[')) {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    endpoint.address = std::string(text.substr(1, close - 1));
    port = text.substr(close + 2);
  } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    if (colon == 0) return std::nullopt;
    endpoint.address = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
  }
  const std::optional<uint16_t> number = parse_port(port);
  if (!number) return std::nullopt;
  endpoint.port = *number;
  return endpoint;
}

// What the service's thread hands the window thread: the bytes one client has sent and whether it
// has gone; and the way back, the client's connection, which the window thread answers on until it
// says the session is over.
class GdbService::ClientLink final : public Connection {
 public:
  explicit ClientLink(Connection& socket) : socket_(socket) {}

  // The service's thread.
  void deliver(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    changed_.notify_all();
  }
  void client_gone() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    changed_.notify_all();
  }
  bool over() {
    std::lock_guard lock(mutex_);
    return over_;
  }
  // Until the session is over, or `timeout` has passed.
  void wait_until_over(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return over_; });
  }

  // The window thread, through the session.
  std::optional<std::size_t> receive(std::span<uint8_t> buffer,
                                     std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return !received_.empty() || gone_; };
    if (timeout.count() < 0) {
      changed_.wait(lock, ready);
    } else {
      changed_.wait_for(lock, timeout, ready);
    }
    if (received_.empty()) {
      if (gone_) return std::nullopt;
      return 0;
    }
    const std::size_t count = std::min(buffer.size(), received_.size());
    std::copy_n(received_.begin(), count, buffer.begin());
    received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
  }
  void send(std::string_view bytes) override { socket_.send(bytes); }
  // The session is over: nothing is sent on the connection any more.
  void end() {
    std::lock_guard lock(mutex_);
    over_ = true;
    changed_.notify_all();
  }

 private:
  Connection& socket_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<uint8_t> received_;  // under `mutex_`, as the rest
  bool gone_ = false;
  bool over_ = false;
};

GdbService::~GdbService() {
  if (session_) session_->close();
  session_.reset();
  if (link_) link_->end();
  {
    std::lock_guard lock(arriving_mutex_);
    if (arriving_) arriving_->end();
  }
  closing_ = true;
  if (thread_.joinable()) thread_.join();
}

bool GdbService::listen(const GdbEndpoint& where) {
  if (!server_.listen_and_announce("korvel", where.address, where.port)) return false;
  thread_ = std::thread([this] { wait_for_clients(); });
  return true;
}

void GdbService::wait_for_clients() {
  std::array<uint8_t, 4096> bytes{};
  while (!closing_) {
    std::unique_ptr<Connection> socket = server_.accept(kLook);
    if (!socket) continue;
    auto link = std::make_shared<ClientLink>(*socket);
    {
      std::lock_guard lock(arriving_mutex_);
      arriving_ = link;
    }
    wake_();
    while (!closing_ && !link->over()) {
      std::optional<std::size_t> received = socket->receive(bytes, kLook);
      if (!received) {
        link->client_gone();
        wake_();
        break;
      }
      if (*received == 0) continue;
      link->deliver(std::span(bytes).first(*received));
      wake_();
    }
    // The window thread may still be answering on the connection, until it ends the session or the
    // service.
    while (!closing_ && !link->over()) link->wait_until_over(kLook);
  }
}

bool GdbService::serve() {
  if (serving_ || execution.pausing() || host().showing_message_box()) return false;
  serving_ = true;
  if (history_stale_ && execution.run_ended()) {
    history.start();
    history_stale_ = false;
  }
  if (!session_) {
    std::lock_guard lock(arriving_mutex_);
    link_ = std::exchange(arriving_, nullptr);
    if (link_) session_.emplace(*link_, start_run_as_the_menu_does);
  }
  bool answered = false;
  if (session_) {
    const uint64_t answers = session_->answers();
    const bool ended = session_->poll().has_value();
    answered = session_->answers() != answers;
    if (ended) {
      // Detached, killed or gone: the program stays as it is, and the next client may come.
      session_.reset();
      link_->end();
      link_.reset();
    }
  }
  serving_ = false;
  return answered;
}
