#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "machine/host.h"

// A host that remembers every request, for the tests. Safe to call from the run thread.
class RecordingHost final : public Host {
 public:
  struct Message {
    std::string caption;
    std::string text;
    bool operator==(const Message&) const = default;
  };

  void message_box(const char* caption, const char* text) override;
  void set_title(const char* text) override;
  void run_thread_started() override;
  void run_thread_ended() override;

  std::vector<Message> messages() const;
  std::vector<std::string> titles() const;
  std::string last_title() const;
  // "started " and "ended " for each notice of the run thread's life, in order.
  std::string run_thread_events() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::vector<std::string> titles_;
  std::string run_thread_events_;
};
