// The console machine's Screen and Log windows, as both front ends must show them: the picture a
// suite ROM draws, the pace and Tab, the keyboard as controller 1, the program's debug output.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "machine/execution.h"
#include "resources/menu.h"
#include "tests/support/png_picture.h"
#include "tests/support/rom_image.h"
#include "tests/ui/shared/desktop_driver.h"

namespace {

using namespace std::chrono_literals;

bool shows(const VideoPicture& shown, const Picture& expected) {
  return static_cast<int>(shown.width) == expected.width &&
         static_cast<int>(shown.height) == expected.height && shown.rgb == expected.rgb;
}

// Opens the suite ROM `name` and runs it at full speed until the Screen shows `expected`.
void run_until_shown(DesktopDriver& d, const char* name, const Picture& expected) {
  ASSERT_FALSE(expected.rgb.empty()) << name;
  d.open_rom(suite_rom(name).string());
  d.screen_key(ScreenKey::full_speed, true);
  d.command(kCmdStartCpu);
  d.wait_until([&] { return shows(d.screen_picture(), expected); });
}

void the_plain_machine_has_no_screen(DesktopDriver& d) {
  EXPECT_FALSE(d.screen_open());
}

void the_screen_opens_with_the_console_and_shows_a_suite_rom(DesktopDriver& d) {
  EXPECT_TRUE(d.screen_open());
  run_until_shown(d, "CPU_ADD_CPUADD", suite_reference("CPU_ADD_CPUADD"));
  // A debugger window stops the run and leaves the Screen with its last picture.
  d.command(kCmdGprWindow);
  EXPECT_TRUE(d.screen_open());
  EXPECT_TRUE(shows(d.screen_picture(), suite_reference("CPU_ADD_CPUADD")));
  d.command(kCmdScreenWindow);
  EXPECT_TRUE(d.screen_open());
}

// Count advances at half the console's 93.75 MHz.
constexpr double kCountsPerSecond = 93.75e6 / 2;

uint64_t counted_during(DesktopDriver& d, std::chrono::milliseconds span) {
  const auto from = std::chrono::steady_clock::now();
  const uint64_t before = execution.published_count();
  d.wait_until([&] { return std::chrono::steady_clock::now() - from >= span; });
  return execution.published_count() - before;
}

void runs_keep_the_consoles_pace_unless_tab_is_held(DesktopDriver& d) {
  // It waits for the VI most of the time: at full speed it goes many times the console's speed,
  // in the sanitizers' builds too.
  d.open_rom(suite_rom("demo_InterruptVI").string());
  d.command(kCmdStartCpu);
  counted_during(d, 300ms);  // the boot, before the VI's first field, goes at full speed
  const uint64_t paced = counted_during(d, 500ms);
  d.screen_key(ScreenKey::full_speed, true);
  const uint64_t full_speed = counted_during(d, 500ms);
  d.screen_key(ScreenKey::full_speed, false);
  EXPECT_LT(static_cast<double>(paced), 1.25 * 0.5 * kCountsPerSecond);
  EXPECT_GT(full_speed, 2 * paced);
}

void a_held_key_reaches_the_program(DesktopDriver& d) {
  // The ROM moves a dot with controller 1's D-pad, leaving a trail; its reference holds nothing.
  const Picture nothing_held = suite_reference("demo_InputCPU");
  run_until_shown(d, "demo_InputCPU", nothing_held);
  d.screen_key(ScreenKey::d_right, true);
  d.wait_until([&] { return !shows(d.screen_picture(), nothing_held); });
  d.screen_key(ScreenKey::d_right, false);
}

// Boot code that writes "Hello, log\n" through the ISViewer, then waits for good.
std::vector<uint8_t> isviewer_program() {
  const uint32_t words[] = {
      0x3C08B3FF,              // lui t0, 0xB3FF
      0x3C094865, 0x35296C6C,  // t1 = "Hell"
      0xAD090020,              // sw t1, 0x20(t0)
      0x3C096F2C, 0x3529206C,  // "o, l"
      0xAD090024,              //
      0x3C096F67, 0x35290A00,  // "og\n"
      0xAD090028,              //
      0x3409000B,              // ori t1, zero, 11
      0xAD090014,              // sw t1, 0x14(t0): print 11 bytes
      0x1000FFFF, 0x00000000,  // b . ; nop
  };
  std::vector<uint8_t> bytes;
  for (uint32_t word : words)
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<uint8_t>(word >> shift));
  return bytes;
}

void the_log_shows_the_programs_debug_output(DesktopDriver& d) {
  TempDir dir;
  RomImage image;
  image.boot_code = isviewer_program();
  d.open_rom(dir.write("log.z64", image.native()));
  d.command(kCmdStartCpu);
  d.wait_until([&] { return d.log_text() == "Hello, log\n"; });
}

constexpr DesktopCase kScreenCases[] = {
    {"DesktopScreen", "ThePlainMachineHasNoScreen", the_plain_machine_has_no_screen},
    {"DesktopScreen", "OpensWithTheConsoleAndShowsASuiteRom",
     the_screen_opens_with_the_console_and_shows_a_suite_rom, true},
    {"DesktopScreen", "RunsKeepTheConsolesPaceUnlessTabIsHeld",
     runs_keep_the_consoles_pace_unless_tab_is_held, true},
    {"DesktopScreen", "AHeldKeyReachesTheProgram", a_held_key_reaches_the_program, true},
    {"DesktopScreen", "TheLogShowsTheProgramsDebugOutput", the_log_shows_the_programs_debug_output,
     true},
};

}  // namespace

std::span<const DesktopCase> screen_cases() {
  return kScreenCases;
}
