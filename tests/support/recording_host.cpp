#include "tests/support/recording_host.h"

void RecordingHost::message_box(const char* caption, const char* text) {
  std::lock_guard lock(mutex_);
  messages_.push_back({caption, text});
}

void RecordingHost::set_title(const char* text) {
  std::lock_guard lock(mutex_);
  titles_.emplace_back(text);
}

void RecordingHost::run_thread_started() {
  std::lock_guard lock(mutex_);
  run_thread_events_ += "started ";
}

void RecordingHost::run_thread_ended() {
  std::lock_guard lock(mutex_);
  run_thread_events_ += "ended ";
}

std::vector<RecordingHost::Message> RecordingHost::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::string> RecordingHost::titles() const {
  std::lock_guard lock(mutex_);
  return titles_;
}

std::string RecordingHost::run_thread_events() const {
  std::lock_guard lock(mutex_);
  return run_thread_events_;
}

std::string RecordingHost::last_title() const {
  std::lock_guard lock(mutex_);
  return titles_.empty() ? std::string() : titles_.back();
}

void RecordingHost::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  titles_.clear();
  run_thread_events_.clear();
}
