// gdb-multiarch and the desktop program's windows on one machine: what either side stops, the
// other sees stopped, as the front ends show it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "machine/debug_access.h"
#include "machine/machine_state.h"
#include "resources/dialog_templates.h"
#include "resources/menu.h"
#include "tests/support/host_system.h"
#include "tests/support/rom_image.h"
#include "tests/ui/shared/desktop_driver.h"

namespace {

std::string file_text(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A command that holds gdb until the case lets it go, each in its turn.
constexpr const char* kHold = "<hold>";

// gdb-multiarch run in the background on the host with `commands`, against the window's gdb
// server (started here as --gdb 127.0.0.1:0 starts it), with its output in the folder's "out".
class GdbClient {
 public:
  GdbClient(DesktopDriver& d, const std::vector<std::string>& commands) : d_(d) {
    EXPECT_TRUE(d.commands().serve_gdb({"127.0.0.1", 0}));
    std::ofstream script(dir_.path() / "commands.gdb");
    script << "set endian big\ntarget remote " << d.commands().gdb_endpoint() << "\n";
    int holds = 0;
    for (const std::string& command : commands)
      script << (command == kHold ? held(++holds) : command) << "\n";
    script.close();
    run_host_command("(" KORVEL_GDB " -nx -batch -x '" + host_path(dir_.path() / "commands.gdb") +
                     "' > '" + host_path(dir_.path() / "out") + "' 2>&1; touch '" +
                     host_path(dir_.path() / "done") + "') &");
  }

  void let_go() { std::ofstream(go(++let_go_)).put('\n'); }

  std::string out() const { return file_text(dir_.path() / "out"); }
  bool ended() const { return std::filesystem::exists(dir_.path() / "done"); }

  // Serves the window until gdb has written `text`, or has ended. Also `meanwhile` at every look.
  bool wait_for(
      const std::string& text, const std::function<void()>& meanwhile = [] {}) {
    d_.wait_until([&] {
      meanwhile();
      return out().find(text) != std::string::npos || ended();
    });
    return out().find(text) != std::string::npos;
  }

 private:
  std::filesystem::path go(int hold) const { return dir_.path() / ("go" + std::to_string(hold)); }
  std::string held(int hold) const {
    return "shell while [ ! -e '" + host_path(go(hold)) + "' ]; do sleep 0.02; done";
  }

  DesktopDriver& d_;
  TempDir dir_;
  int let_go_ = 0;
};

std::string shown_pc(DesktopDriver& d, const char* title, int id) {
  const std::unique_ptr<DialogProbe> window = d.newest_window(title);
  return window ? window->text(id) : "no window";
}

std::string hex(uint32_t value) {
  char digits[8];
  return {digits, std::to_chars(std::begin(digits), std::end(digits), value, 16).ptr};
}

std::string capitals(std::string text) {
  std::ranges::transform(text, text.begin(), [](char c) { return std::toupper(c); });
  return text;
}

// Both windows, in capitals as the listing shows it.
void expect_windows_show_pc(DesktopDriver& d, const std::string& pc) {
  EXPECT_EQ(capitals(shown_pc(d, "General Purpose Registers", kGprFieldIds.pc)), pc);
  EXPECT_EQ(shown_pc(d, "Commands", kIdListingPc), pc);
}

// gdb's `$<print>` is the next word fetched, the windows' pc the processor's own (which differ in
// a delay slot, where a pause may come).
void expect_both_show_the_machine(const GdbClient& gdb, DesktopDriver& d, int print) {
  // Appended rather than "$" + number: GCC 12 warns wrongly (-Wrestrict) of the sum's copy.
  const std::string line =
      std::string("$").append(std::to_string(print)) + " = 0x" + hex(next_fetch_address()) + "\n";
  EXPECT_NE(gdb.out().find(line), std::string::npos) << gdb.out();
  expect_windows_show_pc(d, capitals(hex(processor_state().pc)));
}

void gdb_and_the_menus_stop_and_run_one_machine(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdGprWindow);
  d.command(kCmdCommandsWindow);
  GdbClient gdb(d, {"break *0x04000050", "continue", "echo <stopped>\\n", "delete", kHold,
                    "continue", "echo <paused>\\n", "p/x $pc", "echo <printed>\\n", kHold,
                    "reverse-stepi", "p/x $pc", "detach"});
  ASSERT_TRUE(gdb.wait_for("<stopped>")) << gdb.out();
  EXPECT_NE(gdb.out().find("Breakpoint 1, 0x04000050"), std::string::npos) << gdb.out();
  expect_windows_show_pc(d, "4000050");
  // gdb's continue ran as Start CPU runs.
  EXPECT_TRUE(d.title().ends_with(" - Running"));

  // Run from the menu; gdb's continue follows the run, and Pause CPU is its stop (which the
  // pause would miss if it came before gdb's continue: it is chosen again until gdb has it).
  d.command(kCmdStartCpu);
  gdb.let_go();
  ASSERT_TRUE(gdb.wait_for("<paused>", [&] { d.command(kCmdPauseCpu); })) << gdb.out();
  ASSERT_TRUE(gdb.wait_for("<printed>")) << gdb.out();
  EXPECT_NE(gdb.out().find("Program received signal SIGINT"), std::string::npos) << gdb.out();
  expect_both_show_the_machine(gdb, d, 1);
  const uint32_t paused_at = next_fetch_address();

  // Going backwards moves the windows too. (A step: under a sanitizer each step back replays a
  // while, and a continue backwards may take many.)
  gdb.let_go();
  d.wait_until([&] { return gdb.ended(); });
  EXPECT_NE(next_fetch_address(), paused_at);
  expect_both_show_the_machine(gdb, d, 2);
  EXPECT_NE(gdb.out().find("detached"), std::string::npos) << gdb.out();
}

void a_window_step_during_gdbs_run_is_a_step_gdb_sees(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  d.command(kCmdGprWindow);
  GdbClient gdb(d, {"continue", "echo <stepped>\\n", "detach"});
  d.wait_until([&] { return shared.running.load() == 1 || gdb.ended(); });
  const std::unique_ptr<DialogProbe> gpr = d.newest_window("General Purpose Registers");
  ASSERT_NE(gpr, nullptr);
  gpr->press(kIdStep);
  ASSERT_TRUE(gdb.wait_for("<stepped>")) << gdb.out();
  EXPECT_NE(gdb.out().find("Program received signal SIGTRAP"), std::string::npos) << gdb.out();
  EXPECT_EQ(shared.running.load(), 0);
  // The run ended right after the step, where the window shows it, within spin's loop.
  const unsigned long pc = std::stoul(gpr->text(kGprFieldIds.pc), nullptr, 16);
  EXPECT_GE(pc, 0x400003Cu);
  EXPECT_LE(pc, 0x4000058u);
  d.wait_until([&] { return gdb.ended(); });
}

void a_message_box_is_shown_and_is_a_stop_gdb_sees(DesktopDriver& d) {
  d.open_rom(sample_rom("demo.z64"));
  GdbClient gdb(d, {"continue", "p/x $pc", "detach"});
  d.wait_until([&] { return gdb.ended(); });
  ASSERT_EQ(d.boxes().size(), 1u);
  EXPECT_EQ(d.boxes()[0].caption, "Breakpoint Encountered");
  EXPECT_NE(gdb.out().find("Program received signal SIGTRAP"), std::string::npos) << gdb.out();
  EXPECT_NE(gdb.out().find("$1 = 0x40000b0\n"), std::string::npos) << gdb.out();
}

void closing_the_program_ends_a_run_gdb_waits_on(DesktopDriver& d) {
  d.open_rom(sample_rom("spin.z64"));
  GdbClient gdb(d, {"continue", "echo <after>\\n"});
  d.wait_until([&] { return shared.running.load() == 1 || gdb.ended(); });
  d.close();
  // The window is gone, with nothing left to serve.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!gdb.ended() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(gdb.out().find("exited normally]\n<after>"), std::string::npos) << gdb.out();
}

constexpr DesktopCase kCases[] = {
    {"DesktopGdb", "GdbAndTheMenusStopAndRunOneMachine",
     gdb_and_the_menus_stop_and_run_one_machine},
    {"DesktopGdb", "AWindowStepDuringGdbsRunIsAStepGdbSees",
     a_window_step_during_gdbs_run_is_a_step_gdb_sees},
    {"DesktopGdb", "AMessageBoxIsShownAndIsAStopGdbSees",
     a_message_box_is_shown_and_is_a_stop_gdb_sees},
    {"DesktopGdb", "ClosingTheProgramEndsARunGdbWaitsOn",
     closing_the_program_ends_a_run_gdb_waits_on},
};

}  // namespace

std::span<const DesktopCase> gdb_cases() {
  return kCases;
}
