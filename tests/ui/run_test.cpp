// Menu commands that meet the run thread: the rate measurement, message boxes raised while
// running, the debugger windows, the thread priority and the end of the program.
#include <sys/resource.h>

#include <QRegularExpression>
#include <QSignalSpy>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "machine/execution.h"
#include "machine/machine_state.h"
#include "memory/rom_image.h"
#include "platform/qt/template_dialog.h"
#include "resources/menu.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/qt/status_area.h"

namespace {

using RunTest = MainWindowTest;
using std::chrono::steady_clock;

std::vector<std::string> painted_texts(StatusArea& area) {
  std::vector<std::string> texts;
  for (const StatusLine& line : area.lines()) texts.push_back(line.text);
  return texts;
}

TEST_F(RunTest, CurrentIpsWithoutARunMeasuresZeroOverAFullSecond) {
  StatusArea& area = window->status_area();
  const auto start = steady_clock::now();
  window->on_command(kCmdCurrentIps);
  EXPECT_GE(steady_clock::now() - start, std::chrono::seconds(1));
  using Texts = std::vector<std::string>;
  EXPECT_EQ(painted_texts(area), Texts{"        0 instructions per second. "});
  area.grab();  // a paint: later ones repeat the line one character narrower
  EXPECT_EQ(painted_texts(area), Texts{"       0 instructions per second. "});
  area.grab();
  EXPECT_EQ(painted_texts(area), Texts{"       0 instructions per second. "});
  // The second measurement is drawn once; later paints draw no rate line.
  window->measure_instruction_rate(std::chrono::milliseconds(1));
  EXPECT_EQ(painted_texts(area), Texts{"        0 instructions per second. "});
  area.grab();
  EXPECT_TRUE(area.lines().empty());
}

TEST_F(RunTest, CurrentIpsWhileSpinRunsMeasuresItsRate) {
  window->open_rom(sample_rom("spin.z64"));
  window->on_command(kCmdStartCpu);
  window->measure_instruction_rate(std::chrono::milliseconds(200));
  const std::vector<StatusLine> lines = window->status_area().lines();
  ASSERT_EQ(lines.size(), 1u);
  const QRegularExpression format(QStringLiteral("^ *([1-9][0-9]*) instructions per second\\. $"));
  const QRegularExpressionMatch match = format.match(QString::fromStdString(lines[0].text));
  ASSERT_TRUE(match.hasMatch()) << lines[0].text;
  EXPECT_GE(match.capturedEnd(1), 9);  // right-aligned in a field of nine
  EXPECT_TRUE(shared.running.load());  // the measurement does not stop the run
}

TEST_F(RunTest, ARunThreadMessageBoxIsShownOverTheWindow) {
  window->open_rom(sample_rom("demo.z64"));
  window->on_command(kCmdStartCpu);
  ASSERT_TRUE(wait_until([&] { return !boxes.empty(); }));
  EXPECT_EQ(boxes[0].caption, "Breakpoint Encountered");
  EXPECT_EQ(boxes[0].text, "PC: 0x040000B0\n");
  EXPECT_EQ(boxes[0].owner, window.get());
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::breakpoint_address);
}

TEST_F(RunTest, StartAndExitWhileTheRunWaitsForAMessageBox) {
  window->open_rom(sample_rom("demo.z64"));
  window->on_command(kCmdStartCpu);
  // Serving no events, let the run reach its breakpoint and wait there for its box.
  const auto deadline = steady_clock::now() + std::chrono::seconds(5);
  while (shared.running.load() && steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(boxes.empty());
  window->on_command(kCmdStartCpu);  // ends that run, which needs its box shown first
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Breakpoint Encountered");
  QSignalSpy closed(window.get(), &MainWindow::closed);
  window->on_command(kCmdExit);  // the new run stops at the breakpoint again
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(RunTest, ClosingTheWindowEndsTheRunAndClosesTheRom) {
  window->open_rom(sample_rom("spin.z64"));
  window->on_command(kCmdStartCpu);
  QSignalSpy closed(window.get(), &MainWindow::closed);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RunTest, DebuggerWindowsStopTheRunAndOpenOneWindowPerChoice) {
  struct Window {
    int id;
    QString title;
  };
  window->open_rom(sample_rom("spin.z64"));
  for (const Window& kind :
       {Window{kCmdGprWindow, "General Purpose Registers"}, Window{kCmdCp0Window, "CP0 Registers"},
        Window{kCmdFprWindow, "Floating Point Registers"},
        Window{kCmdCommandsWindow, "Commands"}}) {
    window->on_command(kCmdStartCpu);
    window->on_command(kind.id);
    EXPECT_EQ(shared.running.load(), 0) << kind.title.toStdString();
    EXPECT_FALSE(execution.has_run_thread());
    EXPECT_TRUE(title().endsWith(" - Running"));
    window->on_command(kind.id);
    EXPECT_EQ(open_windows(kind.title).size(), 2u) << kind.title.toStdString();
  }
}

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
  window->open_rom(sample_rom("spin.z64"));
  start_under_way(*window);
  ASSERT_EQ(threads_at(low), 0);
  window->on_command(kCmdPriorityLow);
  EXPECT_EQ(threads_at(low), 1);
  start_under_way(*window);
  EXPECT_EQ(threads_at(low), 0);
  EXPECT_TRUE(menu_item(kCmdPriorityLow).isChecked());
  // Raising needs a right the user may lack; the item is checked either way.
  window->on_command(kCmdPriorityHigh);
  EXPECT_TRUE(menu_item(kCmdPriorityHigh).isChecked());
  EXPECT_TRUE(shared.running.load());
}

}  // namespace
