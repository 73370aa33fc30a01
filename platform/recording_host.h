#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/host.h"

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
  void enable_menu_item(int id) override;

  std::vector<Message> messages() const;
  std::vector<std::string> titles() const;
  std::vector<int> enabled_items() const;
  std::string last_title() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::vector<std::string> titles_;
  std::vector<int> enabled_items_;
};
