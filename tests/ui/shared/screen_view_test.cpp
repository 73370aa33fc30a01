// The Screen and Log windows' logic that both front ends draw: where the picture stands, what the
// keys hold, which lines the log keeps.
#include <gtest/gtest.h>

#include <string>

#include "ui/shared/log_lines.h"
#include "ui/shared/screen_view.h"

namespace {

TEST(PlacePicture, ScalesByWholeTimesWhileItFitsOnceAndKeepsTheAspectRatio) {
  EXPECT_EQ(place_picture(320, 240, 1000, 800), (PicturePlacement{20, 40, 960, 720}));
  EXPECT_EQ(place_picture(640, 480, 640, 480), (PicturePlacement{0, 0, 640, 480}));
  // Smaller than the picture: shrunk to fit, centred across.
  EXPECT_EQ(place_picture(640, 480, 600, 400), (PicturePlacement{33, 0, 533, 400}));
  EXPECT_EQ(place_picture(0, 0, 600, 400), (PicturePlacement{0, 0, 0, 0}));
  EXPECT_EQ(place_picture(320, 240, 0, 400), (PicturePlacement{0, 0, 0, 0}));
}

uint32_t keys(std::initializer_list<ScreenKey> held) {
  uint32_t bits = 0;
  for (ScreenKey key : held) bits |= 1u << static_cast<unsigned>(key);
  return bits;
}

TEST(ControllerHolding, GivesTheButtonsBitsAndTheStickAtFullDeflection) {
  const StandardController held = controller_holding(
      keys({ScreenKey::a, ScreenKey::start, ScreenKey::d_right, ScreenKey::c_left,
            ScreenKey::stick_up, ScreenKey::stick_left, ScreenKey::full_speed}));
  EXPECT_EQ(held.buttons, 0x8000 | 0x1000 | 0x0100 | 0x0002);
  EXPECT_EQ(held.stick_x, -80);
  EXPECT_EQ(held.stick_y, 80);
  const StandardController both_ways =
      controller_holding(keys({ScreenKey::stick_left, ScreenKey::stick_right}));
  EXPECT_EQ(both_ways.buttons, 0);
  EXPECT_EQ(both_ways.stick_x, 0);
}

TEST(LogLines, JoinsPiecesIntoLinesAndKeepsTheLastTenThousand) {
  LogLines log;
  log.append("Hel");
  log.append("lo\nwor");
  EXPECT_EQ(log.text(), "Hello\nwor");
  log.append("ld\n");
  EXPECT_EQ(log.text(), "Hello\nworld\n");
  for (int i = 0; i < 10000; ++i) log.append("line " + std::to_string(i) + "\n");
  EXPECT_EQ(log.line_count(), LogLines::kKept);
  EXPECT_TRUE(log.text().starts_with("line 0\n"));
  log.append("last");
  EXPECT_TRUE(log.text().starts_with("line 1\n"));
  EXPECT_TRUE(log.text().ends_with("line 9999\nlast"));
}

}  // namespace
