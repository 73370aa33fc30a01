// The screen feed between a window thread and the run thread: pictures asked for and taken, and
// the controller held, while a run goes on (the threaded checks run these under ThreadSanitizer).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "machine/devices/console_devices.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "machine/menu_commands.h"
#include "machine/screen.h"
#include "machine/screen_feed.h"
#include "memory/rom_image.h"
#include "tests/support/core_fixture.h"
#include "tests/support/png_picture.h"
#include "tests/support/rom_image.h"

namespace {

using ExecutionScreenFeed = CoreTest;

TEST_F(ExecutionScreenFeed, PicturesAndTheControllerCrossWhileTheRunGoesOn) {
  choose_hardware(Hardware::console);
  ASSERT_EQ(load_rom(suite_rom("demo_InterruptVI").string().c_str()), 1);
  const Picture reference = suite_reference("demo_InterruptVI");
  screen_feed.set_paced(true);
  shared.running = 1;
  execution.start();
  VideoPicture picture;
  bool taken = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!taken && std::chrono::steady_clock::now() < until) {
    screen_feed.want_picture();
    screen_feed.hold({0x1000, 0, 0});
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    taken = screen_feed.take_picture(picture) && !picture.empty();
  }
  // Full speed for the rest: the pace must not hold the pause up for long.
  screen_feed.set_full_speed(true);
  shared.running = 0;
  execution.wait_for_run_end();
  ASSERT_TRUE(taken);
  EXPECT_EQ(static_cast<int>(picture.width), reference.width);
  EXPECT_EQ(static_cast<int>(picture.height), reference.height);
  EXPECT_EQ(console_devices.si.controller.buttons, 0x1000);
  // A field may have published once more for an ask made while the last was being scanned out;
  // a picture is taken once only.
  screen_feed.take_picture(picture);
  EXPECT_FALSE(screen_feed.take_picture(picture));
}

}  // namespace

namespace {

using ScreenFieldRate = CoreTest;

TEST_F(ScreenFieldRate, FollowsTheCartridgesCountry) {
  choose_hardware(Hardware::console);
  TempDir dir;
  for (const auto& [country, fields] :
       {std::pair{'E', 60}, std::pair{'P', 50}, std::pair{'J', 60}}) {
    RomImage image;
    image.country = static_cast<uint8_t>(country);
    ASSERT_EQ(load_rom(dir.write("rom.z64", image.native()).c_str()), 1);
    EXPECT_EQ(fields_per_second(), fields) << country;
  }
}

}  // namespace
