#include "ui/shared/screen_view.h"

#include <algorithm>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/screen.h"
#include "machine/screen_feed.h"

namespace {

constexpr uint32_t bit(ScreenKey key) {
  return 1u << static_cast<unsigned>(key);
}

// The standard controller's buttons, as its read command answers them (n64brew "Joybus Protocol").
struct ButtonKey {
  ScreenKey key;
  uint16_t button;
};
constexpr ButtonKey kButtons[] = {
    {ScreenKey::a, 0x8000},      {ScreenKey::b, 0x4000},       {ScreenKey::z, 0x2000},
    {ScreenKey::start, 0x1000},  {ScreenKey::d_up, 0x0800},    {ScreenKey::d_down, 0x0400},
    {ScreenKey::d_left, 0x0200}, {ScreenKey::d_right, 0x0100}, {ScreenKey::l, 0x0020},
    {ScreenKey::r, 0x0010},      {ScreenKey::c_up, 0x0008},    {ScreenKey::c_down, 0x0004},
    {ScreenKey::c_left, 0x0002}, {ScreenKey::c_right, 0x0001},
};

// A standard controller's stick reaches about this far from the middle.
constexpr int kFullDeflection = 80;

int8_t axis(uint32_t held, ScreenKey toward, ScreenKey away) {
  int value = 0;
  if (held & bit(toward)) value += kFullDeflection;
  if (held & bit(away)) value -= kFullDeflection;
  return static_cast<int8_t>(value);
}

}  // namespace

StandardController controller_holding(uint32_t held) {
  StandardController controller;
  for (const ButtonKey& button : kButtons)
    if (held & bit(button.key)) controller.buttons |= button.button;
  controller.stick_x = axis(held, ScreenKey::stick_right, ScreenKey::stick_left);
  controller.stick_y = axis(held, ScreenKey::stick_up, ScreenKey::stick_down);
  return controller;
}

PicturePlacement place_picture(uint32_t width, uint32_t height, int area_width, int area_height) {
  if (width == 0 || height == 0 || area_width <= 0 || area_height <= 0) return {0, 0, 0, 0};
  const double fits =
      std::min(static_cast<double>(area_width) / width, static_cast<double>(area_height) / height);
  const double scale = fits >= 1 ? static_cast<int>(fits) : fits;
  const int shown_width = std::max(1, static_cast<int>(width * scale));
  const int shown_height = std::max(1, static_cast<int>(height * scale));
  return {(area_width - shown_width) / 2, (area_height - shown_height) / 2, shown_width,
          shown_height};
}

int ScreenView::refresh_milliseconds() {
  return 1000 / fields_per_second();
}

bool ScreenView::refresh() {
  if (shared.running.load(std::memory_order_relaxed)) {
    taken_at_rest_.reset();
    screen_feed.want_picture();
    return screen_feed.take_picture(picture_);
  }
  const uint64_t count = execution.published_count();
  if (taken_at_rest_ == count) return false;
  taken_at_rest_ = count;
  picture_ = screen_picture();
  return true;
}

void ScreenView::key(ScreenKey key, bool down) {
  const uint32_t held = down ? held_ | bit(key) : held_ & ~bit(key);
  if (held == held_) return;
  held_ = held;
  held_keys_changed();
}

void ScreenView::release_keys() {
  if (held_ == 0) return;
  held_ = 0;
  held_keys_changed();
}

void ScreenView::held_keys_changed() {
  screen_feed.set_full_speed((held_ & bit(ScreenKey::full_speed)) != 0);
  screen_feed.hold(controller_holding(held_));
}
