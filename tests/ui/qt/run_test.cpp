// The run thread's priority as Linux schedules it. The other commands that meet the run thread are
// the shared cases' (tests/ui/shared).
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "resources/menu.h"
#include "tests/ui/qt/main_window_fixture.h"

namespace {

using RunTest = MainWindowTest;

// The nice values of this process's threads.
std::vector<int> thread_nice_values() {
  std::vector<int> values;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    values.push_back(::getpriority(PRIO_PROCESS, std::stoi(task.path().filename().string())));
  return values;
}

int threads_at(int nice_value) {
  const std::vector<int> values = thread_nice_values();
  return static_cast<int>(std::count(values.begin(), values.end(), nice_value));
}

// Starts a run of a ROM that never stops and waits until its thread is under way.
void start_under_way(MainWindow& window) {
  window.on_command(kCmdStartCpu);
  const uint64_t at_start = execution.published_count();
  while (execution.published_count() == at_start) std::this_thread::yield();
}

TEST_F(RunTest, PriorityReachesTheRunThreadAndANewRunStartsAtNormal) {
  // The program may itself run under nice; Low is five steps below it.
  const int low = ::getpriority(PRIO_PROCESS, 0) + 5;
  window->open_rom(sample_rom_path("spin.z64"));
  start_under_way(*window);
  ASSERT_EQ(threads_at(low), 0);
  window->on_command(kCmdPriorityLow);
  EXPECT_EQ(threads_at(low), 1);
  start_under_way(*window);
  EXPECT_EQ(threads_at(low), 0);
  EXPECT_TRUE(driver->menu_item(kCmdPriorityLow).isChecked());
  // Raising needs a right the user may lack; the item is checked either way.
  window->on_command(kCmdPriorityHigh);
  EXPECT_TRUE(driver->menu_item(kCmdPriorityHigh).isChecked());
  EXPECT_TRUE(shared.running.load());
}

}  // namespace
