#include "memory/execution.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "cpu/shared_state.h"
#include "memory/rom.h"
#include "platform/host.h"

ExecutionController execution;

namespace {

void count_instruction() {
  ++cpu.cp0[kCountRegister];
}

bool stops_on(int32_t result) {
  return not_carried_out(result) && shared.stop_on_unhandled.load(std::memory_order_relaxed);
}

void report_breakpoint() {
  message_text.format("PC: 0x%.8X\n", cpu.pc);
  host().message_box("Breakpoint Encountered", message_text.c_str());
}

// Lets an optional virtual observer stand where the run loop expects a concrete one.
struct ObserverRef {
  RunObserver& observer;
  void fetched(uint32_t address, uint32_t word) { observer.fetched(address, word); }
  void instruction_done() { observer.instruction_done(); }
};

// Runs `body` with a concrete observer: the given one, or one that does nothing and costs nothing.
template <class Body>
int32_t with_observer(RunObserver* observer, Body body) {
  if (observer) {
    ObserverRef watched{*observer};
    return body(watched);
  }
  NoObserver none;
  return body(none);
}

}  // namespace

int step_instruction(RunObserver* observer) {
  FetchWindow fetch;
  int32_t result =
      with_observer(observer, [&](auto& watcher) { return fetch_and_execute(fetch, watcher); });
  count_instruction();
  if (shared.show_count.load(std::memory_order_relaxed)) {
    message_text.format("%x", static_cast<uint32_t>(cpu.cp0[kCountRegister]));
    Text<32> title;
    title.format("Korvel  %s", message_text.c_str());
    host().set_title(title.c_str());
  }
  if (stops_on(result)) {
    report_unhandled_opcode();
    return -1;
  }
  return 0;
}

template <class Observer>
int ExecutionController::run_loop(Observer& observer) {
  std::unique_lock lock(state_mutex_);
  FetchWindow fetch;
  int result_code = 1;
  for (;;) {
    if (requests_.load(std::memory_order_relaxed) != 0 && !park_if_requested(lock)) break;
    if (!shared.running.load(std::memory_order_relaxed)) break;
    int32_t result = fetch_and_execute(fetch, observer);
    count_instruction();
    published_count_.store(cpu.cp0[kCountRegister], std::memory_order_relaxed);
    bool near_stop_addresses = cpu.pc - kStopAddress <= kBreakpointAddress - kStopAddress;
    if (near_stop_addresses && cpu.pc == kStopAddress) [[unlikely]] {
      shared.running.store(0, std::memory_order_relaxed);
    }
    if (stops_on(result)) [[unlikely]] {
      report_unhandled_opcode();
      result_code = -1;
      break;
    }
    if (near_stop_addresses && cpu.pc == kBreakpointAddress) [[unlikely]] {
      shared.running.store(0, std::memory_order_relaxed);
      report_breakpoint();
    }
    observer.instruction_done();
  }
  // What the last title showed is left in the scratch text, as the title was built there.
  if (shared.show_count.load(std::memory_order_relaxed)) {
    message_text.format("%d", low_signed(cpu.cp0[kCountRegister]));
  }
  return result_code;
}

void ExecutionController::run_thread(RunObserver* observer) {
  run_thread_tid_.store(static_cast<int>(::syscall(SYS_gettid)));
  int result = with_observer(observer, [this](auto& watcher) { return run_loop(watcher); });
  run_result_.store(result);
  thread_finished_.store(true);
}

bool ExecutionController::park_if_requested(std::unique_lock<std::mutex>& lock) {
  resumed_.wait(lock, [this] { return requests_.load() != kPauseRequest; });
  return (requests_.load() & kStopRequest) == 0;
}

ExecutionController::~ExecutionController() {
  if (thread_.joinable()) {
    requests_.fetch_or(kStopRequest);
    resumed_.notify_all();
    thread_.join();
  }
}

void ExecutionController::start(RunObserver* observer) {
  end_run_thread();
  // A run paused before its first instruction publishes nothing: the title must not then show an
  // earlier run's count.
  published_count_.store(cpu.cp0[kCountRegister]);
  shown_count_ = cpu.cp0[kCountRegister];
  thread_finished_.store(false);
  thread_ = std::thread([this, observer] { run_thread(observer); });
  // A priority chosen right after Start must find the thread to apply to.
  while (run_thread_tid_.load() == 0 && !thread_finished_.load()) std::this_thread::yield();
}

void ExecutionController::end_run_thread() {
  stop_run_thread();
  // Whoever ends a run at once puts a title of their own in place (Close ROM's "Korvel"): a count
  // the window has not shown yet must not overwrite it later.
  shown_count_ = published_count();
}

void ExecutionController::stop_run_thread() {
  if (!thread_.joinable()) return;
  requests_.fetch_or(kStopRequest);
  resumed_.notify_all();
  wait_for_thread_end();
  requests_.fetch_and(~uint32_t{kStopRequest});
}

int ExecutionController::wait_for_run_end() {
  if (!thread_.joinable()) return 1;
  wait_for_thread_end();
  return run_result_.load();
}

void ExecutionController::halt() {
  // With `running` clear the thread would end at its next boundary anyway; the stop request also
  // ends it when it is parked by a pause this thread holds.
  shared.running.store(0);
  stop_run_thread();
}

void ExecutionController::wait_for_thread_end() {
  // A pause held here would keep the run thread from reaching its end.
  if (pause_depth_ > 0) state_mutex_.unlock();
  while (!thread_finished_.load()) {
    host().serve_pending_requests();
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  thread_.join();
  run_thread_tid_.store(0);
  if (pause_depth_ > 0) state_mutex_.lock();
}

void ExecutionController::lock_serving_requests() {
  // The run thread lets go within one instruction, unless it is blocked on a message box, which
  // may stay up for as long as the user likes: spin briefly, then sleep between tries.
  for (int tries = 0; !state_mutex_.try_lock(); ++tries) {
    host().serve_pending_requests();
    if (tries < 64) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
}

ExecutionController::ScopedPause::ScopedPause(ExecutionController& controller)
    : controller_(controller) {
  if (controller_.pause_depth_++ > 0) return;
  controller_.requests_.fetch_or(kPauseRequest);
  controller_.lock_serving_requests();
}

ExecutionController::ScopedPause::~ScopedPause() {
  if (--controller_.pause_depth_ > 0) return;
  controller_.requests_.fetch_and(~uint32_t{kPauseRequest});
  controller_.state_mutex_.unlock();
  controller_.resumed_.notify_all();
}

int ExecutionController::step(RunObserver* observer) {
  ScopedPause pause(*this);
  return step_instruction(observer);
}

void ExecutionController::refresh_count_title() {
  uint64_t count = published_count();
  if (count == shown_count_) return;
  shown_count_ = count;
  // A count published while it is hidden is never shown: the title shows the count after an
  // instruction executed while it is shown.
  if (!shared.show_count.load()) return;
  Text<sizeof shared.title_text.data + 16> title;
  title.format("%s %d", shared.title_text.c_str(), low_signed(count));
  host().set_title(title.c_str());
}

void ExecutionController::set_run_thread_priority(int nice_value) {
  int tid = run_thread_tid_.load();
  if (tid != 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_value);
}

void ExecutionController::reset() {
  end_run_thread();
  published_count_.store(0);
  shown_count_ = UINT64_MAX;
}

void start_cpu(RunObserver* observer) {
  shared.title_text.set("Korvel - ");
  rom.rom_loaded = 0;  // the header lines are no longer painted
  shared.running = 1;
  shared.title_text.append(rom.rom_name.empty() ? rom.rom_path.c_str() : rom.rom_name.c_str());
  shared.title_text.append(" - Running");
  host().set_title(shared.title_text.c_str());
  execution.start(observer);
}
