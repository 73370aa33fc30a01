#include "platform/recording_host.h"

void RecordingHost::message_box(const char* caption, const char* text) {
  std::lock_guard lock(mutex_);
  messages_.push_back({caption, text});
}

void RecordingHost::set_title(const char* text) {
  std::lock_guard lock(mutex_);
  titles_.emplace_back(text);
}

void RecordingHost::enable_menu_item(int id) {
  std::lock_guard lock(mutex_);
  enabled_items_.push_back(id);
}

std::vector<RecordingHost::Message> RecordingHost::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::string> RecordingHost::titles() const {
  std::lock_guard lock(mutex_);
  return titles_;
}

std::vector<int> RecordingHost::enabled_items() const {
  std::lock_guard lock(mutex_);
  return enabled_items_;
}

std::string RecordingHost::last_title() const {
  std::lock_guard lock(mutex_);
  return titles_.empty() ? std::string() : titles_.back();
}

void RecordingHost::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  titles_.clear();
  enabled_items_.clear();
}
