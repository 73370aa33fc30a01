#pragma once

#include <cstdint>
#include <optional>

#include "machine/devices/joybus.h"
#include "machine/devices/video_scanout.h"

// The keys the Screen window listens to; each front end names its toolkit's keys for them (the
// README's table). While the window has focus the keyboard is controller 1, and Tab runs the
// console at full speed for as long as it is held.
enum class ScreenKey : uint8_t {
  stick_up,  // the arrow keys: the control stick, full deflection
  stick_down,
  stick_left,
  stick_right,
  d_up,  // I, K, J, L
  d_down,
  d_left,
  d_right,
  a,      // X
  b,      // C
  z,      // Z
  l,      // A
  r,      // S
  start,  // Enter
  c_up,   // the number pad's 8, 2, 4 and 6
  c_down,
  c_left,
  c_right,
  full_speed,  // Tab
};

// What controller 1 holds while the keys in `held` (a bit per ScreenKey) are down.
StandardController controller_holding(uint32_t held);

// Where a picture of `width` x `height` stands in an area of `area_width` x `area_height`: as
// large as fits with its aspect ratio kept, in whole multiples of its size while it fits once,
// centred.
struct PicturePlacement {
  int x, y, width, height;
  bool operator==(const PicturePlacement&) const = default;
};
PicturePlacement place_picture(uint32_t width, uint32_t height, int area_width, int area_height);

// The Screen window as both front ends share it. Window thread only.
class ScreenView {
 public:
  // How often the window asks for a picture: the loaded cartridge's field rate, which changes
  // with the cartridge.
  static int refresh_milliseconds();

  // The refresh tick: while the machine runs, the newest field's picture the run thread has
  // published; at rest, the screen as it stands after the last instruction. True when the
  // picture to draw has changed.
  bool refresh();
  const VideoPicture& picture() const { return picture_; }

  // A key pressed or let go (the toolkit's repeats are not key presses).
  void key(ScreenKey key, bool down);
  // Focus gone: every key counts as let go.
  void release_keys();

 private:
  void held_keys_changed();

  VideoPicture picture_;
  uint32_t held_ = 0;
  // The instruction count the picture at rest was taken at.
  std::optional<uint64_t> taken_at_rest_;
};
