// What only the Qt window shows: the painted header lines in its pixels. The menu commands
// themselves are the shared cases' (tests/ui/shared).
#include <QFontMetrics>
#include <QImage>

#include "tests/ui/qt/main_window_fixture.h"
#include "ui/qt/status_area.h"

namespace {

using CommandsTest = MainWindowTest;

TEST_F(CommandsTest, PaintsTheHeaderLinesAtTheirRows) {
  window->open_rom(sample_rom_path("demo.z64"));
  StatusArea& area = window->status_area();
  ASSERT_EQ(area.lines().size(), 5u);
  const QImage picture = area.grab().toImage();
  const QRgb background = area.palette().window().color().rgb();
  // The rows are fixed in the window's pixels, the text's height is the font's; the picture may
  // hold more than one device pixel per window pixel.
  const int text_height = QFontMetrics(area.font()).height();
  const auto rows = [&](int top, int bottom) {
    return has_ink_in_rows(picture, qRound(top * picture.devicePixelRatio()),
                           qRound(bottom * picture.devicePixelRatio()), background);
  };
  for (int y = 0; y <= 80; y += 20) EXPECT_TRUE(rows(y, y + std::min(text_height, 20))) << y;
  EXPECT_FALSE(rows(80 + text_height, area.height()));
  save_screenshot(*window, "main-window-demo");
}

TEST(QtDesktopDrop, OnlyLocalFilesAreAccepted) {
  const std::string none[] = {""};
  EXPECT_EQ(dropped_rom({}), "");
  EXPECT_EQ(dropped_rom(none), "");
  const std::string two[] = {"", "/a.z64", "/b.z64"};
  EXPECT_EQ(dropped_rom(two), "/a.z64");
}

}  // namespace
