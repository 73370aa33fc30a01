// The cases both front ends must pass alike: every menu command, the title in every state, the
// check marks, the status lines, drops, message boxes raised on the run thread, the dialogs and
// the debugger windows. One list, run by the Qt and the Win32 tests each with its own driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <string>
#include <thread>

#include "cpu/cpu_state.h"
#include "debugger/debugger_state.h"
#include "machine/execution.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "memory/rom_image.h"
#include "resources/dialog_templates.h"
#include "resources/menu.h"
#include "tests/support/rom_image.h"
#include "tests/ui/shared/desktop_driver.h"
#include "ui/shared/machine_choice.h"

namespace {

using std::chrono::steady_clock;
using Texts = std::vector<std::string>;

std::string demo_title() {
  return "Korvel - " + sample_rom("demo.z64");
}

// The title of a run of a sample ROM: its header name is padded with blanks to 20 characters.
std::string running_title(std::string name) {
  name.resize(20, ' ');
  return "Korvel - " + name + " - Running";
}

Texts painted_texts(DesktopDriver& d) {
  Texts texts;
  for (const StatusLine& line : d.status_lines()) texts.push_back(line.text);
  return texts;
}

void opens_with_its_title_icon_and_menu(DesktopDriver& d) {
  EXPECT_EQ(d.title(), "Korvel");
  EXPECT_TRUE(d.has_icon());
  for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu, kCmdLoadState, kCmdMemory})
    EXPECT_FALSE(d.is_enabled(id)) << id;
  d.open_rom(sample_rom("demo.z64"));
  EXPECT_EQ(d.title(), demo_title());
  for (int id : {kCmdStartCpu, kCmdPauseCpu, kCmdResetCpu}) EXPECT_TRUE(d.is_enabled(id));
  EXPECT_FALSE(d.is_enabled(kCmdSaveState));
}

void toggle_items_move_their_mark_and_their_flag(DesktopDriver& d) {
  struct Toggle {
    int id;
    const std::atomic<int32_t>& flag;
  };
  for (const Toggle& toggle : {Toggle{kCmdShowCount, shared.show_count},
                               Toggle{kCmdStopOnUnhandled, shared.stop_on_unhandled}}) {
    const bool initially = d.is_checked(toggle.id);
    EXPECT_EQ(toggle.flag.load(), initially ? 1 : 0);
    for (bool expected : {!initially, initially, !initially}) {
      d.command(toggle.id);
      EXPECT_EQ(d.is_checked(toggle.id), expected) << toggle.id;
      EXPECT_EQ(toggle.flag.load(), expected ? 1 : 0) << toggle.id;
    }
  }
}

void exactly_the_chosen_priority_is_checked(DesktopDriver& d) {
  const int priorities[] = {kCmdPriorityHigh, kCmdPriorityNormal, kCmdPriorityLow};
  for (int chosen : {kCmdPriorityHigh, kCmdPriorityLow, kCmdPriorityLow, kCmdPriorityNormal}) {
    d.command(chosen);  // no run thread: only the marks move
    for (int id : priorities) EXPECT_EQ(d.is_checked(id), id == chosen) << chosen;
  }
}

void start_shows_the_name_or_else_the_path(DesktopDriver& d) {
  TempDir dir;
  std::vector<uint8_t> blank = RomImage{}.native();
  std::fill(blank.begin() + 32, blank.begin() + 52, 0);  // the name ends at its first zero byte
  const std::string blank_path = dir.write("blank.z64", blank);
  struct Case {
    std::string path;
    std::string title;
  };
  for (const Case& c : {Case{sample_rom("demo.z64"), running_title("KORVEL DEMO")},
                        Case{blank_path, "Korvel - " + blank_path + " - Running"}}) {
    d.open_rom(c.path);
    ASSERT_FALSE(d.status_lines().empty());
    d.command(kCmdStartCpu);
    EXPECT_EQ(d.title(), c.title);
    EXPECT_TRUE(d.status_lines().empty());  // the header lines are no longer painted
    execution.wait_for_run_end();  // the demo at its breakpoint, the blank image at 0x040000A8
  }
}

void show_count_adds_the_count_to_the_title_until_unchecked(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  d.command(kCmdShowCount);
  d.command(kCmdStartCpu);
  const std::string running = running_title("KORVEL DEMO");
  // The demo stops at its breakpoint after 119 instructions, Count 120.
  d.wait_until([&] { return d.title() == running + " 120"; });
  d.command(kCmdShowCount);
  EXPECT_EQ(d.title(), running);
  EXPECT_EQ(shared.show_count.load(), 0);
}

void show_count_waits_for_an_instruction_executed_while_it_is_shown(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  d.command(kCmdStartCpu);  // the count hidden
  ASSERT_EQ(execution.wait_for_run_end(), StopReason::breakpoint_address);
  d.command(kCmdResetCpu);
  d.command(kCmdShowCount);
  const std::string running = running_title("KORVEL DEMO");
  for (int refresh = 0; refresh < 3; ++refresh) execution.refresh_count_title();
  EXPECT_EQ(d.title(), running);
  d.command(kCmdStartCpu);
  d.wait_until([&] { return d.title() == running + " 120"; });
}

void close_rom_during_a_counted_run_leaves_the_bare_title(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdShowCount);
  d.command(kCmdStartCpu);
  const std::string running = running_title("KORVEL SPIN");
  d.wait_until([&] { return d.title().starts_with(running + ' '); });
  d.command(kCmdCloseRom);
  EXPECT_EQ(d.title(), "Korvel");
  for (int refresh = 0; refresh < 3; ++refresh) execution.refresh_count_title();
  EXPECT_EQ(d.title(), "Korvel");
}

void close_rom_gives_the_image_up_and_keeps_the_menu(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdStartCpu);
  d.command(kCmdCloseRom);
  EXPECT_EQ(d.title(), "Korvel");
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_TRUE(d.status_lines().empty());
  EXPECT_TRUE(d.is_enabled(kCmdStartCpu));
}

void refused_file_keeps_the_loaded_rom(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  const std::FILE* file = rom.rom_file;
  const Texts lines = painted_texts(d);
  TempDir dir;
  d.open_rom(dir.write("notes.txt", {'h', 'i', '!'}));
  ASSERT_EQ(d.boxes().size(), 1u);
  EXPECT_EQ(d.boxes()[0].caption, "ROM");
  EXPECT_EQ(d.boxes()[0].text, "Not a valid ROM!");
  EXPECT_TRUE(d.boxes()[0].owned_by_main_window);
  EXPECT_EQ(d.title(), demo_title());
  EXPECT_EQ(rom.rom_file, file);
  EXPECT_EQ(painted_texts(d), lines);
}

void paints_the_header_lines_at_their_rows(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  const std::vector<StatusLine> expected = {{0, "Not Byteswapped."},
                                            {20, "Program Counter: 4000040"},
                                            {40, "KORVEL DEMO         "},
                                            {60, "Manufacturer: Unknown: 4b"},
                                            {80, "Country: USA"}};
  EXPECT_EQ(d.status_lines(), expected);
}

void reset_and_pause_act_on_the_run(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  const uint64_t boot_count = cpu.cp0[kCountRegister];
  d.command(kCmdStartCpu);
  d.command(kCmdResetCpu);  // the run goes on from the boot state
  const uint64_t at_reset = execution.published_count();
  d.wait_until([&] { return execution.published_count() != at_reset; });
  d.command(kCmdPauseCpu);
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::paused);
  EXPECT_GT(cpu.cp0[kCountRegister], boot_count);
  d.command(kCmdResetCpu);
  EXPECT_EQ(cpu.pc, kBootPc);
  EXPECT_EQ(cpu.cp0[kCountRegister], boot_count);
  EXPECT_EQ(d.title(), running_title("KORVEL SPIN"));
}

void commands_without_behaviour_change_nothing(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  for (int id : {kCmdLoadState, kCmdSaveState, kCmdMemory, 40002, 0}) d.command(id);
  EXPECT_EQ(d.title(), demo_title());
  EXPECT_EQ(d.status_lines().size(), 5u);
  EXPECT_TRUE(d.boxes().empty());
  EXPECT_TRUE(d.is_open());
}

void a_dropped_file_opens_once_the_drop_has_finished(DesktopDriver& d) {
  TempDir dir;
  // A refused file's box waits for the drop to end: the program it came from is not held up.
  EXPECT_TRUE(d.drop_file(dir.write("notes.txt", {'h', 'i', '!'})));
  EXPECT_TRUE(d.boxes().empty());
  d.wait_until([&] { return !d.boxes().empty(); });
  EXPECT_EQ(d.boxes()[0].text, "Not a valid ROM!");
  EXPECT_TRUE(d.drop_file(sample_rom("demo.v64")));
  EXPECT_EQ(d.title(), "Korvel");
  d.wait_until([&] { return d.title() == "Korvel - " + sample_rom("demo.v64"); });
  EXPECT_EQ(d.status_lines().front().text, "Byteswapped.");
  EXPECT_EQ(d.boxes().size(), 1u);
}

void current_ips_without_a_run_measures_zero_over_a_full_second(DesktopDriver& d) {
  d.command(kCmdCurrentIps);
  EXPECT_EQ(d.clock.waited, std::vector<steady_clock::duration>{std::chrono::seconds(1)});
  EXPECT_EQ(painted_texts(d), Texts{"        0 instructions per second. "});
  d.paint();  // later paints repeat the line one character narrower
  EXPECT_EQ(painted_texts(d), Texts{"       0 instructions per second. "});
  d.paint();
  EXPECT_EQ(painted_texts(d), Texts{"       0 instructions per second. "});
  // The second measurement is drawn once; later paints draw no rate line.
  d.command(kCmdCurrentIps);
  EXPECT_EQ(painted_texts(d), Texts{"        0 instructions per second. "});
  d.paint();
  EXPECT_TRUE(d.status_lines().empty());
}

void current_ips_while_spin_runs_measures_its_rate(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdStartCpu);
  // The measured second lasts until the run has gone on from where it was.
  d.clock.passing = [] {
    const uint64_t at_start = execution.published_count();
    while (execution.published_count() == at_start) std::this_thread::yield();
  };
  d.command(kCmdCurrentIps);
  const Texts lines = painted_texts(d);
  ASSERT_EQ(lines.size(), 1u);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match,
                               std::regex("^ *([1-9][0-9]*) instructions per second\\. $")))
      << lines[0];
  EXPECT_GE(match.position(1) + match.length(1), 9);  // right-aligned in a field of nine
  EXPECT_TRUE(shared.running.load());                 // the measurement does not stop the run
}

void a_run_thread_message_box_is_shown_over_the_window(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  d.command(kCmdStartCpu);
  d.wait_until([&] { return !d.boxes().empty(); });
  EXPECT_EQ(d.boxes()[0].caption, "Breakpoint Encountered");
  EXPECT_EQ(d.boxes()[0].text, "PC: 0x040000B0\n");
  EXPECT_TRUE(d.boxes()[0].owned_by_main_window);
  EXPECT_EQ(execution.wait_for_run_end(), StopReason::breakpoint_address);
}

void start_and_exit_while_the_run_waits_for_a_message_box(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  d.command(kCmdStartCpu);
  // Serving no events, let the run reach its breakpoint and post its box: the host wakes this
  // thread as it posts.
  window_thread_wake().wait_until([] { return !shared.running.load(); }, [] {});
  ASSERT_TRUE(d.boxes().empty());
  d.command(kCmdStartCpu);  // ends that run, which needs its box shown first
  ASSERT_EQ(d.boxes().size(), 1u);
  EXPECT_EQ(d.boxes()[0].caption, "Breakpoint Encountered");
  d.command(kCmdExit);  // the new run stops at the breakpoint again
  EXPECT_FALSE(d.is_open());
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
}

void closing_the_window_ends_the_run_and_closes_the_rom(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdStartCpu);
  d.close();
  EXPECT_FALSE(d.is_open());
  EXPECT_FALSE(execution.has_run_thread());
  EXPECT_EQ(rom.rom_file, nullptr);
  EXPECT_TRUE(d.boxes().empty());
}

void debugger_windows_stop_the_run_and_open_one_window_per_choice(DesktopDriver& d) {
  struct Window {
    int id;
    std::string title;
  };
  d.open_rom(sample_rom("spin.z64"));
  for (const Window& kind :
       {Window{kCmdGprWindow, "General Purpose Registers"}, Window{kCmdCp0Window, "CP0 Registers"},
        Window{kCmdFprWindow, "Floating Point Registers"},
        Window{kCmdCommandsWindow, "Commands"}}) {
    d.command(kCmdStartCpu);
    d.command(kind.id);
    EXPECT_EQ(shared.running.load(), 0) << kind.title;
    EXPECT_FALSE(execution.has_run_thread());
    EXPECT_TRUE(d.title().ends_with(" - Running"));
    d.command(kind.id);
    EXPECT_EQ(d.open_windows(kind.title), 2) << kind.title;
  }
  const std::unique_ptr<DialogProbe> gpr = d.newest_window("General Purpose Registers");
  ASSERT_NE(gpr, nullptr);
  EXPECT_EQ(gpr->text(kGprFieldIds.field(29)), "a4001ffc");
  // Wherever in spin's loop the run stopped: on the exact path, which runs batches too, any word.
  const unsigned long pc = std::stoul(gpr->text(kGprFieldIds.pc), nullptr, 16);
  EXPECT_GE(pc, 0x4000040u);
  EXPECT_LE(pc, 0x4000058u);
}

void commands_window_lists_the_demo_and_only_ok_closes_it(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  d.command(kCmdCommandsWindow);
  ASSERT_EQ(d.open_windows("Commands"), 1);
  const std::unique_ptr<DialogProbe> commands = d.newest_window("Commands");
  const Texts listing = commands->lines(kIdListing);
  ASSERT_EQ(listing.size(), 257u);
  EXPECT_EQ(listing[0], "PC         Opcode     Instruction");
  EXPECT_EQ(listing[1], "04000040   2408000A   ADDIU t0,r0,a");
  // Its columns line up: every character advances alike.
  EXPECT_EQ(commands->advances(kIdListing).size(), 1u);
  EXPECT_EQ(commands->text(kIdListingPc), "4000040");
  commands->press(kIdStep);
  EXPECT_EQ(commands->text(kIdListingPc), "4000044");
  commands->press(kIdCancel);
  EXPECT_EQ(d.open_windows("Commands"), 1);
  commands->press(kIdOk);
  d.wait_until([&] { return d.open_windows("Commands") == 0; });
}

void rom_info_shows_the_name_and_manufacturer_as_they_stand(DesktopDriver& d) {
  auto read_rom_info = [&d] {
    Texts fields;
    EXPECT_TRUE(d.with_modal_dialog(kCmdRomInfo, "ROM Info", [&](DialogProbe& dialog) {
      fields = {dialog.text(kIdRomName), dialog.text(kIdRomManufacturer)};
      dialog.press(kIdCancel);
    }));
    return fields;
  };
  EXPECT_EQ(read_rom_info(), (Texts{"", ""}));
  d.open_rom(sample_rom("demo.z64"));
  EXPECT_EQ(read_rom_info(), (Texts{"KORVEL DEMO         ", "Unknown: 4b"}));
  d.command(kCmdCloseRom);
  // Close ROM forgets the name but not the manufacturer.
  EXPECT_EQ(read_rom_info(), (Texts{"", "Unknown: 4b"}));
}

void about_shows_the_version_and_picture_and_closes_on_escape(DesktopDriver& d) {
  EXPECT_TRUE(d.with_modal_dialog(kCmdAbout, "About Korvel", [](DialogProbe& dialog) {
    EXPECT_EQ(dialog.text(kIdAboutTitle), "Korvel " KORVEL_VERSION);
    EXPECT_EQ(dialog.picture_width(), 361);
    EXPECT_EQ(dialog.texts_wider_than_their_labels(), Texts{});
    dialog.press(kIdCancel);
  }));
}

constexpr DesktopCase kCases[] = {
    {"DesktopCommands", "OpensWithItsTitleIconAndMenu", opens_with_its_title_icon_and_menu},
    {"DesktopCommands", "ToggleItemsMoveTheirMarkAndTheirFlag",
     toggle_items_move_their_mark_and_their_flag},
    {"DesktopCommands", "ExactlyTheChosenPriorityIsChecked",
     exactly_the_chosen_priority_is_checked},
    {"DesktopCommands", "StartShowsTheNameOrElseThePath", start_shows_the_name_or_else_the_path},
    {"DesktopCommands", "ShowCountAddsTheCountToTheTitleUntilUnchecked",
     show_count_adds_the_count_to_the_title_until_unchecked},
    {"DesktopCommands", "ShowCountWaitsForAnInstructionExecutedWhileItIsShown",
     show_count_waits_for_an_instruction_executed_while_it_is_shown},
    {"DesktopCommands", "CloseRomDuringACountedRunLeavesTheBareTitle",
     close_rom_during_a_counted_run_leaves_the_bare_title},
    {"DesktopCommands", "CloseRomGivesTheImageUpAndKeepsTheMenu",
     close_rom_gives_the_image_up_and_keeps_the_menu},
    {"DesktopCommands", "RefusedFileKeepsTheLoadedRom", refused_file_keeps_the_loaded_rom},
    {"DesktopCommands", "PaintsTheHeaderLinesAtTheirRows", paints_the_header_lines_at_their_rows},
    {"DesktopCommands", "ResetAndPauseActOnTheRun", reset_and_pause_act_on_the_run},
    {"DesktopCommands", "CommandsWithoutBehaviourChangeNothing",
     commands_without_behaviour_change_nothing},
    {"DesktopCommands", "ADroppedFileOpensOnceTheDropHasFinished",
     a_dropped_file_opens_once_the_drop_has_finished},
    {"DesktopRun", "CurrentIpsWithoutARunMeasuresZeroOverAFullSecond",
     current_ips_without_a_run_measures_zero_over_a_full_second},
    {"DesktopRun", "CurrentIpsWhileSpinRunsMeasuresItsRate",
     current_ips_while_spin_runs_measures_its_rate},
    {"DesktopRun", "ARunThreadMessageBoxIsShownOverTheWindow",
     a_run_thread_message_box_is_shown_over_the_window},
    {"DesktopRun", "StartAndExitWhileTheRunWaitsForAMessageBox",
     start_and_exit_while_the_run_waits_for_a_message_box},
    {"DesktopRun", "ClosingTheWindowEndsTheRunAndClosesTheRom",
     closing_the_window_ends_the_run_and_closes_the_rom},
    {"DesktopRun", "DebuggerWindowsStopTheRunAndOpenOneWindowPerChoice",
     debugger_windows_stop_the_run_and_open_one_window_per_choice},
    {"DesktopDialogs", "CommandsWindowListsTheDemoAndOnlyOkClosesIt",
     commands_window_lists_the_demo_and_only_ok_closes_it},
    {"DesktopDialogs", "RomInfoShowsTheNameAndManufacturerAsTheyStand",
     rom_info_shows_the_name_and_manufacturer_as_they_stand},
    {"DesktopDialogs", "AboutShowsTheVersionAndPictureAndClosesOnEscape",
     about_shows_the_version_and_picture_and_closes_on_escape},
};

using DriverFactory = std::function<std::unique_ptr<DesktopDriver>()>;

class DesktopCaseTest : public ::testing::Test {
 public:
  DesktopCaseTest(const DesktopCase& desktop_case, DriverFactory make_driver)
      : case_(desktop_case), make_driver_(std::move(make_driver)) {}

  void SetUp() override {
    reset_all_state();
    if (case_.console) {
      ASSERT_EQ(choose_machine("r4300i", false, "console", false), "");
    }
    driver_ = make_driver_();
  }
  void TearDown() override {
    driver_.reset();
    reset_all_state();
  }
  void TestBody() override { case_.run(*driver_); }

 private:
  const DesktopCase& case_;
  DriverFactory make_driver_;
  std::unique_ptr<DesktopDriver> driver_;
};

}  // namespace

void register_desktop_cases(const DriverFactory& make_driver) {
  for (std::span<const DesktopCase> cases :
       {std::span<const DesktopCase>(kCases), screen_cases(), gdb_cases()}) {
    for (const DesktopCase& desktop_case : cases) {
      ::testing::RegisterTest(desktop_case.suite, desktop_case.name, nullptr, nullptr, __FILE__,
                              __LINE__, [&desktop_case, make_driver]() -> ::testing::Test* {
                                return new DesktopCaseTest(desktop_case, make_driver);
                              });
    }
  }
}

std::string sample_rom(const char* file_name) {
  return std::string(KORVEL_SAMPLES_DIR "/") + file_name;
}
