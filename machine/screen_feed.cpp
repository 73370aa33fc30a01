#include "machine/screen_feed.h"

#include <thread>

#include "cpu/scheduler.h"
#include "machine/devices/clocks.h"

namespace {

constexpr uint64_t kChanged = uint64_t{1} << 32;

uint64_t packed(StandardController held) {
  return held.buttons | uint64_t{static_cast<uint8_t>(held.stick_x)} << 16 |
         uint64_t{static_cast<uint8_t>(held.stick_y)} << 24;
}

// A run that falls this far behind the pace (a breakpoint's stop, a slow host) goes on from where
// it is rather than racing to catch up.
constexpr std::chrono::milliseconds kMostBehind{100};

}  // namespace

bool ScreenFeed::take_picture(VideoPicture& picture) {
  std::lock_guard lock(picture_mutex_);
  if (newest_taken_) return false;
  picture = newest_;
  newest_taken_ = true;
  return true;
}

void ScreenFeed::hold(StandardController held) {
  held_.store(packed(held) | kChanged, std::memory_order_relaxed);
}

bool ScreenFeed::controller_changed(StandardController& held) {
  if (!(held_.load(std::memory_order_relaxed) & kChanged)) [[likely]]
    return false;
  if (!live_.load(std::memory_order_relaxed)) return false;
  const uint64_t value = held_.fetch_and(~kChanged, std::memory_order_relaxed);
  held = {static_cast<uint16_t>(value), static_cast<int8_t>(value >> 16),
          static_cast<int8_t>(value >> 24)};
  return true;
}

void ScreenFeed::field_ended(const VideoInterface& vi) {
  if (!live_.load(std::memory_order_relaxed)) return;
  if (picture_wanted_.exchange(false, std::memory_order_relaxed)) {
    VideoPicture picture = scan_out(vi);
    std::lock_guard lock(picture_mutex_);
    newest_ = std::move(picture);
    newest_taken_ = false;
  }
  keep_pace();
}

// The field's end is due on the host's clock as long after the pace's start as the console's
// clock has gone on since, at its 93.75 MHz: the fields then come at the TV standard's rate.
void ScreenFeed::keep_pace() {
  using namespace std::chrono;
  if (!paced_.load(std::memory_order_relaxed) || full_speed_.load(std::memory_order_relaxed)) {
    pace_start_.reset();
    return;
  }
  const steady_clock::time_point now = steady_clock::now();
  // A machine made afresh or reset starts its clock again, and the pace with it.
  if (pace_start_ && scheduler.now >= pace_start_->cycles) {
    const auto since = duration<double>(static_cast<double>(scheduler.now - pace_start_->cycles) /
                                        static_cast<double>(kProcessorHz));
    const steady_clock::time_point due =
        pace_start_->host + duration_cast<steady_clock::duration>(since);
    if (now <= due + kMostBehind) {
      std::this_thread::sleep_until(due);
      return;
    }
  }
  pace_start_ = PaceStart{now, scheduler.now};
}
