#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

#include "machine/devices/joybus.h"
#include "machine/devices/video_scanout.h"

// What a desktop program's Screen window and the run thread hand each other on the console
// machine: pictures of the screen, the pace of the run and the controller the keyboard holds.
// Nothing here is looked at per instruction: the run thread publishes a picture and keeps the pace
// once a field (at the VI interrupt), and takes the controller once a batch.
class ScreenFeed {
 public:
  // Window thread: asks for the picture of the next field's end.
  void want_picture() { picture_wanted_.store(true, std::memory_order_relaxed); }
  // Window thread: the newest picture published, when one has been since the last taken.
  bool take_picture(VideoPicture& picture);

  // Whether runs keep to the console's speed (a desktop program's choice; never korvel-cli's), and
  // whether they go at full speed for now all the same (the Screen window's Tab key, held).
  void set_paced(bool paced) { paced_.store(paced, std::memory_order_relaxed); }
  void set_full_speed(bool full_speed) { full_speed_.store(full_speed, std::memory_order_relaxed); }

  // Whether the runs are the program's own rather than a history's replays, which must do again
  // exactly what was done: no pace, no new input, no pictures. Set while no run goes on.
  void set_live(bool live) { live_.store(live, std::memory_order_relaxed); }

  // Any thread: what controller 1 holds from now on.
  void hold(StandardController held);

  // Run thread, after the VI interrupt of a field: the picture asked for, then the pace, which
  // waits until the console would have reached this point.
  void field_ended(const VideoInterface& vi);
  // Run thread, between two instructions: true when the controller held has changed since the
  // last time, with the new state in `held`.
  bool controller_changed(StandardController& held);

 private:
  void keep_pace();

  std::atomic<bool> live_{true};
  std::atomic<bool> picture_wanted_{false};
  std::atomic<bool> paced_{false};
  std::atomic<bool> full_speed_{false};
  // Buttons in the low 16 bits, the stick's x and y above them, bit 32 for "changed".
  std::atomic<uint64_t> held_{0};

  std::mutex picture_mutex_;
  VideoPicture newest_;
  bool newest_taken_ = true;

  // The run thread's: where the pace started, on the host's clock and on the machine's.
  struct PaceStart {
    std::chrono::steady_clock::time_point host;
    uint64_t cycles;
  };
  std::optional<PaceStart> pace_start_;
};

// The machine object owns it: machine/object/machine.h.
extern ScreenFeed& screen_feed;
