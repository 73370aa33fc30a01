// Menu commands that act at once on the window thread: ROM loading, the title, the check marks
// and the painted status lines.
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <algorithm>

#include "cpu/cpu_state.h"
#include "machine/execution.h"
#include "machine/machine_state.h"
#include "memory/rom_image.h"
#include "resources/menu.h"
#include "tests/support/rom_image.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/qt/status_area.h"

namespace {

using CommandsTest = MainWindowTest;

QString demo_title() {
  return QStringLiteral("Korvel - ") + sample_rom("demo.z64");
}

// The title of a run of a sample ROM: its header name is padded with blanks to 20 characters.
QString running_title(const char* name) {
  return "Korvel - " + QString::fromLatin1(name).leftJustified(20) + " - Running";
}

TEST_F(CommandsTest, OpensWithItsTitleIconAndMenu) {
  EXPECT_EQ(title(), "Korvel");
  EXPECT_FALSE(window->windowIcon().isNull());
  for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu, kCmdLoadState, kCmdMemory})
    EXPECT_FALSE(menu_item(id).isEnabled()) << id;
  window->open_rom(sample_rom("demo.z64"));
  EXPECT_EQ(title(), demo_title());
  for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu}) EXPECT_TRUE(menu_item(id).isEnabled());
  EXPECT_FALSE(menu_item(kCmdSaveState).isEnabled());
}

TEST_F(CommandsTest, ToggleItemsMoveTheirMarkAndTheirFlag) {
  struct Toggle {
    int id;
    const std::atomic<int32_t>& flag;
  };
  for (const Toggle& toggle : {Toggle{kCmdShowCount, shared.show_count},
                               Toggle{kCmdStopOnUnhandled, shared.stop_on_unhandled}}) {
    QAction& item = menu_item(toggle.id);
    const bool initially = item.isChecked();
    EXPECT_EQ(toggle.flag.load(), initially ? 1 : 0);
    for (bool expected : {!initially, initially, !initially}) {
      item.trigger();  // through the menu, as the user chooses it
      EXPECT_EQ(item.isChecked(), expected) << toggle.id;
      EXPECT_EQ(toggle.flag.load(), expected ? 1 : 0) << toggle.id;
    }
  }
}

TEST_F(CommandsTest, ExactlyTheChosenPriorityIsChecked) {
  const int priorities[] = {kCmdPriorityHigh, kCmdPriorityNormal, kCmdPriorityLow};
  for (int chosen : {kCmdPriorityHigh, kCmdPriorityLow, kCmdPriorityLow, kCmdPriorityNormal}) {
    window->on_command(chosen);  // no run thread: only the marks move
    for (int id : priorities) EXPECT_EQ(menu_item(id).isChecked(), id == chosen) << chosen;
  }
}

TEST_F(CommandsTest, StartShowsTheNameOrElseThePath) {
  TempDir dir;
  std::vector<uint8_t> blank = RomImage{}.native();
  std::fill(blank.begin() + 32, blank.begin() + 52, 0);  // the name ends at its first zero byte
  const QString blank_path = QString::fromStdString(dir.write("blank.z64", blank));
  struct Case {
    QString path;
    QString title;
  };
  for (const Case& c : {Case{sample_rom("demo.z64"), running_title("KORVEL DEMO")},
                        Case{blank_path, "Korvel - " + blank_path + " - Running"}}) {
    window->open_rom(c.path);
    ASSERT_FALSE(window->status_area().lines().empty());
    window->on_command(kCmdStartCpu);
    EXPECT_EQ(title(), c.title);
    EXPECT_TRUE(window->status_area().lines().empty());  // the header lines are no longer painted
    execution.wait_for_run_end();  // the demo at its breakpoint, the blank image at 0x040000A8
  }
}

TEST_F(CommandsTest, ShowCountAddsTheCountToTheTitleUntilUnchecked) {
  window->open_rom(sample_rom("demo.z64"));
  window->on_command(kCmdShowCount);
  window->on_command(kCmdStartCpu);
  const QString running = running_title("KORVEL DEMO");
  // The demo stops at its breakpoint after 119 instructions, Count 120.
  EXPECT_TRUE(wait_until([&] { return title() == running + " 120"; })) << title().toStdString();
  window->on_command(kCmdShowCount);
  EXPECT_EQ(title(), running);
  EXPECT_EQ(shared.show_count.load(), 0);
}

TEST_F(CommandsTest, ShowCountWaitsForAnInstructionExecutedWhileItIsShown) {
  window->open_rom(sample_rom("demo.z64"));
  window->on_command(kCmdStartCpu);  // the count hidden
  ASSERT_EQ(execution.wait_for_run_end(), StopReason::breakpoint_address);
  window->on_command(kCmdResetCpu);
  menu_item(kCmdShowCount).trigger();
  const QString running = running_title("KORVEL DEMO");
  for (int refresh = 0; refresh < 3; ++refresh) execution.refresh_count_title();
  EXPECT_EQ(title(), running);
  window->on_command(kCmdStartCpu);
  EXPECT_TRUE(wait_until([&] { return title() == running + " 120"; })) << title().toStdString();
}

TEST_F(CommandsTest, CloseRomDuringACountedRunLeavesTheBareTitle) {
  window->open_rom(sample_rom("spin.z64"));
  window->on_command(kCmdShowCount);
  window->on_command(kCmdStartCpu);
  const QString running = running_title("KORVEL SPIN");
  ASSERT_TRUE(wait_until([&] { return title().startsWith(running + ' '); }));
  window->on_command(kCmdCloseRom);
  EXPECT_EQ(title(), "Korvel");
  for (int refresh = 0; refresh < 3; ++refresh) execution.refresh_count_title();
  EXPECT_EQ(title(), "Korvel");
}

TEST_F(CommandsTest, CloseRomGivesTheImageUpAndKeepsTheMenu) {
  window->open_rom(sample_rom("spin.z64"));
  window->on_command(kCmdStartCpu);
  window->on_command(kCmdCloseRom);
  EXPECT_EQ(title(), "Korvel");
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_TRUE(window->status_area().lines().empty());
  EXPECT_TRUE(menu_item(kCmdStartCpu).isEnabled());
}

TEST_F(CommandsTest, RefusedFileKeepsTheLoadedRom) {
  window->open_rom(sample_rom("demo.z64"));
  const std::FILE* file = rom.rom_file;
  const std::vector<StatusLine> lines = window->status_area().lines();
  TempDir dir;
  window->open_rom(QString::fromStdString(dir.write("notes.txt", {'h', 'i', '!'})));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ROM");
  EXPECT_EQ(boxes[0].text, "Not a valid ROM!");
  EXPECT_EQ(boxes[0].owner, window.get());
  EXPECT_EQ(title(), demo_title());
  EXPECT_EQ(rom.rom_file, file);
  EXPECT_EQ(window->status_area().lines().size(), lines.size());
  EXPECT_EQ(window->status_area().lines()[2].text, lines[2].text);
}

TEST_F(CommandsTest, PaintsTheHeaderLinesAtTheirRows) {
  window->open_rom(sample_rom("demo.z64"));
  const std::vector<StatusLine> lines = window->status_area().lines();
  ASSERT_EQ(lines.size(), 5u);
  const char* texts[] = {"Not Byteswapped.", "Program Counter: 4000040", "KORVEL DEMO         ",
                         "Manufacturer: Unknown: 4b", "Country: USA"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(lines[i].y, 20 * i);
    EXPECT_EQ(lines[i].text, texts[i]);
  }
  StatusArea& area = window->status_area();
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

TEST_F(CommandsTest, ResetAndPauseActOnTheRun) {
  window->open_rom(sample_rom("spin.z64"));
  const uint64_t boot_count = cpu.cp0[kCountRegister];
  window->on_command(kCmdStartCpu);
  window->on_command(kCmdResetCpu);  // the run goes on from the boot state
  const uint64_t at_reset = execution.published_count();
  EXPECT_TRUE(wait_until([&] { return execution.published_count() != at_reset; }));
  window->on_command(kCmdPauseCpu);
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::paused);
  EXPECT_GT(cpu.cp0[kCountRegister], boot_count);
  window->on_command(kCmdResetCpu);
  EXPECT_EQ(cpu.pc, kBootPc);
  EXPECT_EQ(cpu.cp0[kCountRegister], boot_count);
  EXPECT_EQ(title(), running_title("KORVEL SPIN"));
}

TEST_F(CommandsTest, CommandsWithoutBehaviourChangeNothing) {
  window->open_rom(sample_rom("demo.z64"));
  for (int id : {kCmdLoadState, kCmdSaveState, kCmdMemory, 40002, 0}) window->on_command(id);
  EXPECT_EQ(title(), demo_title());
  EXPECT_EQ(window->status_area().lines().size(), 5u);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(window->isVisible());
}

TEST_F(CommandsTest, ADroppedFileOpensAsOpenRom) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(sample_rom("demo.v64"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(title(), "Korvel - " + sample_rom("demo.v64"));
  EXPECT_EQ(window->status_area().lines().front().text, "Byteswapped.");
}

}  // namespace
