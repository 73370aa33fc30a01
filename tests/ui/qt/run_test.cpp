// The run thread's priority as Linux schedules it. The other commands that meet the run thread are
// the shared cases' (tests/ui/shared).
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#include "machine/execution.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "resources/menu.h"
#include "tests/support/host_system.h"
#include "tests/ui/qt/main_window_fixture.h"

namespace {

using RunTest = MainWindowTest;

// Stands in for the window's host while it lives, passing everything on, and notes the system's id
// of each run thread as that thread reports its start.
class RunThreadIds final : public Host {
 public:
  explicit RunThreadIds(Host& window_host) : window_host_(window_host) { set_host(this); }
  ~RunThreadIds() override { set_host(&window_host_); }

  void message_box(const char* caption, const char* text) override {
    window_host_.message_box(caption, text);
  }
  void set_title(const char* text) override { window_host_.set_title(text); }
  void serve_pending_requests() override { window_host_.serve_pending_requests(); }
  void run_thread_started() override {
    window_host_.run_thread_started();
    latest_ = static_cast<pid_t>(::syscall(SYS_gettid));
  }
  void run_thread_ended() override { window_host_.run_thread_ended(); }

  // The latest run thread's: Start returns only once it has started.
  pid_t latest() const { return latest_.load(); }

 private:
  Host& window_host_;
  std::atomic<pid_t> latest_{0};
};

// The rank of the thread `id`, in this_thread_rank's terms.
int rank_of(pid_t id) {
  return -::getpriority(PRIO_PROCESS, static_cast<id_t>(id));
}

TEST_F(RunTest, PriorityReachesTheRunThreadAndANewRunStartsAtNormal) {
  RunThreadIds run_threads(host());
  // The program may itself run under nice; a new thread starts at the window thread's.
  const int normal = this_thread_rank();
  window->open_rom(sample_rom_path("spin.z64"));
  window->on_command(kCmdStartCpu);
  const pid_t first = run_threads.latest();
  EXPECT_EQ(rank_of(first), normal);
  window->on_command(kCmdPriorityLow);
  EXPECT_LT(rank_of(first), normal);
  EXPECT_EQ(this_thread_rank(), normal);
  window->on_command(kCmdStartCpu);
  EXPECT_EQ(rank_of(run_threads.latest()), normal);
  EXPECT_TRUE(driver->menu_item(kCmdPriorityLow).isChecked());
  // Raising needs a right the user may lack; the item is checked either way.
  window->on_command(kCmdPriorityHigh);
  EXPECT_TRUE(driver->menu_item(kCmdPriorityHigh).isChecked());
  EXPECT_TRUE(shared.running.load());
  execution.end_run_thread();  // before the host the run thread reports to goes
}

}  // namespace
