// What the shared cases leave to the Win32 program's Screen and Log windows: they are the main
// window's own, the Log beside the Screen; their close boxes hide them until Screen is chosen
// again, and they go with the main window.
#include <gtest/gtest.h>

#include "debugger/debugger_state.h"
#include "resources/menu.h"
#include "tests/ui/win32/win32_desktop_driver.h"
#include "ui/shared/machine_choice.h"

namespace {

class Win32ScreenWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_all_state();
    ASSERT_EQ(choose_machine("r4300i", false, "console", false), "");
    driver = std::make_unique<Win32DesktopDriver>();
    ASSERT_NE(driver->window().screen_window(), nullptr);
    ASSERT_NE(driver->window().log_window(), nullptr);
    screen = driver->window().screen_window()->handle();
    log = driver->window().log_window()->handle();
  }
  void TearDown() override {
    driver.reset();
    reset_all_state();
  }

  std::unique_ptr<Win32DesktopDriver> driver;
  HWND screen = nullptr;
  HWND log = nullptr;
};

TEST_F(Win32ScreenWindowTest, TheMainWindowOwnsThemWithTheLogBesideTheScreen) {
  const HWND main = driver->window().handle();
  EXPECT_EQ(GetWindow(screen, GW_OWNER), main);
  EXPECT_EQ(GetWindow(log, GW_OWNER), main);
  EXPECT_TRUE(IsWindowVisible(log));
  RECT screen_place;
  RECT log_place;
  GetWindowRect(screen, &screen_place);
  GetWindowRect(log, &log_place);
  EXPECT_GT(log_place.left, screen_place.right);
  EXPECT_EQ(log_place.top, screen_place.top);
  driver->close();
  EXPECT_FALSE(IsWindow(screen));
  EXPECT_FALSE(IsWindow(log));
}

TEST_F(Win32ScreenWindowTest, CloseBoxesHideThemUntilScreenIsChosen) {
  SendMessageA(screen, WM_CLOSE, 0, 0);
  SendMessageA(log, WM_CLOSE, 0, 0);
  EXPECT_FALSE(driver->screen_open());
  EXPECT_FALSE(IsWindowVisible(log));
  driver->command(kCmdScreenWindow);
  EXPECT_TRUE(driver->screen_open());
  EXPECT_TRUE(IsWindowVisible(log));
}

}  // namespace
