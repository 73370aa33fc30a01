// What only the Qt Screen window shows: the picture in its pixels, scaled to the window by whole
// times.
#include <QImage>
#include <chrono>

#include "debugger/debugger_state.h"
#include "machine/execution.h"
#include "resources/menu.h"
#include "tests/support/png_picture.h"
#include "tests/ui/qt/main_window_fixture.h"
#include "ui/shared/machine_choice.h"

namespace {

// The console machine's window, made afresh and given up with the machine.
class QtScreenWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_all_state();
    ASSERT_EQ(choose_machine("r4300i", false, "console", false), "");
    driver_ = std::make_unique<QtDesktopDriver>();
  }
  void TearDown() override {
    driver_.reset();
    reset_all_state();
  }

  std::unique_ptr<QtDesktopDriver> driver_;
};

TEST_F(QtScreenWindow, PaintsTheSuiteRomsPictureTwiceAsLargeInAWindowTwiceItsSize) {
  QtDesktopDriver& driver = *driver_;
  const Picture reference = suite_reference("CPU_ADD_CPUADD");
  const int width = reference.width, height = reference.height;
  driver.open_rom(suite_rom("CPU_ADD_CPUADD").string());
  driver.screen_key(ScreenKey::full_speed, true);
  driver.command(kCmdStartCpu);
  driver.wait_until([&] { return driver.screen_picture().rgb == reference.rgb; });
  driver.command(kCmdPauseCpu);
  execution.wait_for_run_end();

  ScreenWindow& screen = *driver.window().screen_window();
  screen.resize(2 * width, 2 * height);
  // In the window's pixels, whatever the device's ratio.
  const QImage painted = screen.grab().toImage().scaled(2 * width, 2 * height);
  int differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* expected = &reference.rgb[3 * (y * width + x)];
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const QRgb shown = painted.pixel(2 * x + dx, 2 * y + dy);
          if (qRed(shown) != expected[0] || qGreen(shown) != expected[1] ||
              qBlue(shown) != expected[2]) {
            ++differing;
          }
        }
      }
    }
  }
  EXPECT_EQ(differing, 0);
  save_screenshot(screen, "screen-cpu-add");
}

}  // namespace
