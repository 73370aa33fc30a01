#include "machine/execution.h"

#include <algorithm>
#include <cassert>
#include <cinttypes>
#include <optional>

#include "cpu/r4300i/cop0.h"
#include "cpu/scheduler.h"
#include "machine/devices/console_devices.h"
#include "machine/engines/engine_list.h"
#include "machine/fault_messages.h"
#include "machine/history_hook.h"
#include "machine/host.h"
#include "machine/machine_state.h"
#include "machine/screen_feed.h"
#include "memory/bus.h"

namespace {

// The most a batch of instructions runs before the run loop looks at its flags again: well
// under a millisecond's work.
constexpr uint32_t kBatchLimit = 65536;

// The run's stops at the two addresses, once an instruction or a batch has left pc there.
std::optional<StopReason> stop_at_address() {
  if (cpu.pc == kStopAddress) {
    shared.running.store(0, std::memory_order_relaxed);
    return StopReason::stop_address;
  }
  if (cpu.pc == kBreakpointAddress) {
    shared.running.store(0, std::memory_order_relaxed);
    shared.message_text().format("PC: 0x%.8X\n", cpu.pc);
    host().message_box("Breakpoint Encountered", shared.message_text().c_str());
    return StopReason::breakpoint_address;
  }
  return std::nullopt;
}

bool stops_on(const EngineRun& ran) {
  return ran.not_carried_out && shared.stop_on_unhandled.load(std::memory_order_relaxed);
}

// The "Unhandled Opcode" stop, for the run thread and the single step alike.
void report_unhandled_opcode() {
  auto& text = shared.message_text();
  text.set("Unhandled Opcode: ");
  text.append(cpu.opcode_name.c_str());
  text.append("\nEmulation stopped at instruction number ");
  text.append_format("%" PRIu64, cpu.cp0[kCountRegister] + 1);
  host().message_box("Unhandled Opcode", text.c_str());
}

// The events due at this boundary, in the order they became due.
void take_due_events() {
  Event event;
  while (scheduler.take_due(event)) {
    switch (event) {
      case Event::timer:
        r4300i::timer_reached();
        break;
      case Event::snapshot:
        take_due_snapshot();
        break;
      case Event::vi_interrupt:
        console_devices.take_device_event(event);
        screen_feed.field_ended(console_devices.vi);
        break;
      default:
        console_devices.take_device_event(event);
        break;
    }
  }
}

// The controller the keyboard holds, taken between two instructions: a recording history keeps
// the machine as it stands then, so that its replays see the same buttons at the same point.
void take_controller() {
  StandardController held;
  if (!screen_feed.controller_changed(held)) [[likely]]
    return;
  console_devices.set_controller(held.buttons, held.stick_x, held.stick_y);
  if (HistoryHook* hook = history_hook()) hook->outside_input_applied();
}

// Whether an instruction has touched a watched byte, and runs stop for it (a replay's do not).
bool watch_stop() {
  return watchpoints.hit_pending() && watchpoints.stops_runs;
}

}  // namespace

bool execution_holds_instructions() {
  return execution.instructions_held();
}

// The scratch text is the run thread's while it executes, and otherwise its holder's.
bool may_use_message_text() {
  return execution.on_run_thread() || execution.instructions_held();
}

int step_instruction(RunObserver* observer) {
  r4300i::retime_timer();
  if (scheduler.now >= scheduler.next) take_due_events();
  const EngineRun ran = exact_path().run(1, observer);
  if (shared.show_count.load(std::memory_order_relaxed)) {
    shared.message_text().format("%" PRIx64, cpu.cp0[kCountRegister]);
    Text<32> title;
    title.format("Korvel  %s", shared.message_text().c_str());
    host().set_title(title.c_str());
  }
  if (stops_on(ran)) {
    report_unhandled_opcode();
    return -1;
  }
  return 0;
}

// Each turn asks the engines in turn for instructions, then makes the checks that follow every
// instruction on the exact path: the batches end exactly where one of them may apply.
StopReason ExecutionController::run_loop(RunObserver* observer,
                                         std::unique_lock<std::mutex>& lock) {
  const uint64_t read_errors_before = fault_messages.read_errors();
  forget_all_code();
  r4300i::retime_timer();
  // Behind faster engines the exact path runs one instruction at a time, so that they take the
  // next.
  const uint32_t exact_budget = exact_path_alone(engines_) ? kBatchLimit : 1;
  bool first = true;
  for (;;) {
    if (requests_.load(std::memory_order_relaxed) != 0 && ends_on_request(lock)) [[unlikely]] {
      return StopReason::paused;
    }
    if (!shared.running.load(std::memory_order_relaxed)) {
      if (fault_messages.read_errors() != read_errors_before) return StopReason::memory_error;
      return watch_stop() ? StopReason::watchpoint : StopReason::paused;
    }
    // A watched access in a taken branch's instruction stops the run after its delay slot.
    if (watch_stop() && !cpu.delay_slot_pending) [[unlikely]] {
      return StopReason::watchpoint;
    }
    if (!first && !user_breakpoints.empty() && user_breakpoints.contains(fetch_address(cpu))) {
      return StopReason::user_breakpoint;
    }
    first = false;
    if (bus.console) take_controller();
    if (scheduler.now >= scheduler.next) [[unlikely]] {
      take_due_events();
      // A DMA that wrote a watched byte ends the run before the next instruction.
      if (watch_stop()) continue;
    }
    EngineRun ran;
    for (ExecutionEngine* engine : engines_) {
      ran = engine->run(engine == engines_.back() ? exact_budget : kBatchLimit, observer);
      if (ran.instructions != 0) break;
    }
    published_count_.store(cpu.cp0[kCountRegister], std::memory_order_relaxed);
    const bool near_stop = may_stop_at(cpu.pc);
    // Cleared before an unhandled opcode's message, which the same instruction may raise.
    if (near_stop && cpu.pc == kStopAddress) [[unlikely]] {
      shared.running.store(0, std::memory_order_relaxed);
    }
    if (stops_on(ran)) [[unlikely]] {
      report_unhandled_opcode();
      return StopReason::unhandled_opcode;
    }
    if (near_stop) [[unlikely]] {
      if (std::optional<StopReason> stop = stop_at_address()) return *stop;
    }
    if (observer) observer->instructions_done(ran.instructions);
  }
}

void ExecutionController::run_thread(RunObserver* observer) {
  run_thread_id_.store(std::this_thread::get_id());
  host().run_thread_started();
  {
    std::lock_guard lock(start_mutex_);
    thread_started_ = true;
  }
  started_.notify_one();
  StopReason reason;
  {
    std::unique_lock lock(state_mutex_);
    reason = run_loop(observer, lock);
    // What the last title showed is left in the scratch text, as the title was built there.
    if (shared.show_count.load(std::memory_order_relaxed)) {
      shared.message_text().format("%" PRIu64, cpu.cp0[kCountRegister]);
    }
  }
  last_reason_.store(reason);
  // Before the thread is gone, so that nothing can be applied to a recycled thread id.
  host().run_thread_ended();
  run_thread_id_.store(std::thread::id{});
  thread_finished_.store(true);
  wake_.notify();
}

bool ExecutionController::ends_on_request(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    uint32_t requests = requests_.load();
    if (requests & kStopRequest) return true;
    // An interrupt never separates a taken branch from its delay slot: the slot runs first.
    if ((requests & kInterruptRequest) && !cpu.delay_slot_pending) {
      requests_.fetch_and(~kInterruptRequest);
      return true;
    }
    if (requests < kPauseUnit) return false;
    lock.unlock();
    wake_.notify();  // the window thread waiting for the machine can take it now
    {
      std::unique_lock parked(park_mutex_);
      resumed_.wait(parked, [this] {
        uint32_t now = requests_.load();
        return now < kPauseUnit || (now & kStopRequest);
      });
    }
    lock.lock();
    // The window thread may have written memory, Count or Compare meanwhile.
    forget_all_code();
    r4300i::retime_timer();
  }
}

void ExecutionController::resume_run_thread() {
  // Taken between the change and the notice, so that a run thread that has just found no reason
  // to go on is asleep by the time it is told.
  { std::lock_guard parked(park_mutex_); }
  resumed_.notify_all();
}

ExecutionController::~ExecutionController() {
  if (thread_.joinable()) {
    requests_.fetch_or(kStopRequest);
    resume_run_thread();
    thread_.join();
  }
}

void ExecutionController::start(RunObserver* observer) {
  assert(!on_run_thread());
  end_run_thread();
  engines_ = engines_for(shared.engine);
  // A run paused before its first instruction publishes nothing: the title must not then show an
  // earlier run's count.
  published_count_.store(cpu.cp0[kCountRegister]);
  shown_count_ = cpu.cp0[kCountRegister];
  requests_.fetch_and(~kInterruptRequest);  // meant for a run that has ended meanwhile
  watchpoints.take_hit();                   // and the access that ended one
  thread_finished_.store(false);
  std::unique_lock started(start_mutex_);
  thread_started_ = false;
  thread_ = std::thread([this, observer] { run_thread(observer); });
  // A priority chosen right after Start must find the thread to apply to. Nothing of the new run
  // can be waiting for the window thread yet, so no request is served meanwhile.
  started_.wait(started, [this] { return thread_started_; });
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
  resume_run_thread();
  wait_for_thread_end();
  requests_.fetch_and(~kStopRequest);
}

void ExecutionController::interrupt() {
  requests_.fetch_or(kInterruptRequest);
}

StopReason ExecutionController::wait_for_run_end() {
  if (thread_.joinable()) wait_for_thread_end();
  return last_reason_.load();
}

void ExecutionController::halt() {
  // With `running` clear the thread would end at its next boundary anyway; the stop request also
  // ends it when it is parked by a pause this thread holds.
  shared.running.store(0);
  stop_run_thread();
}

template <typename Done>
void ExecutionController::serve_requests_until(Done done) {
  wake_.wait_until(done, [] { host().serve_pending_requests(); });
}

void ExecutionController::wait_for_thread_end() {
  // A pause held here would keep the run thread from reaching its end.
  const bool holds_pause = pause_depth_ > 0;
  if (holds_pause) state_mutex_.unlock();
  serve_requests_until([this] { return thread_finished_.load(); });
  thread_.join();
  if (holds_pause) state_mutex_.lock();
}

void ExecutionController::lock_serving_requests() {
  // The run thread lets go within one batch, unless it is blocked on a message box, which may
  // stay up for as long as the user likes; either way it wakes this thread.
  serve_requests_until([this] { return state_mutex_.try_lock(); });
}

// The depth counts only pauses that hold the lock. A message box served while waiting for it may
// run another command whose own pause takes and releases the lock first; this one then still
// waits, its request still up.
ExecutionController::ScopedPause::ScopedPause(ExecutionController& controller)
    : controller_(controller) {
  assert(!controller_.on_run_thread());
  if (controller_.pause_depth_ > 0) {
    ++controller_.pause_depth_;
    return;
  }
  controller_.requests_.fetch_add(kPauseUnit);
  controller_.lock_serving_requests();
  controller_.pause_depth_ = 1;
}

ExecutionController::ScopedPause::~ScopedPause() {
  if (--controller_.pause_depth_ > 0) return;
  controller_.requests_.fetch_sub(kPauseUnit);
  controller_.state_mutex_.unlock();
  controller_.resume_run_thread();
}

StopReason ExecutionController::step(RunObserver* observer) {
  ScopedPause pause(*this);
  ++steps_taken_;
  // Cleared while the run thread is parked: it ends before another instruction.
  if (steps_end_runs_) shared.running.store(0);
  const uint64_t read_errors_before = fault_messages.read_errors();
  watchpoints.take_hit();  // what went before this step is not its business
  if (step_instruction(observer) == -1) return StopReason::unhandled_opcode;
  if (fault_messages.read_errors() != read_errors_before) return StopReason::memory_error;
  return watchpoints.hit_pending() ? StopReason::watchpoint : StopReason::step_done;
}

bool ExecutionController::instructions_held() const {
  return !on_run_thread() && (pause_depth_ > 0 || thread_finished_.load());
}

void ExecutionController::refresh_count_title() {
  uint64_t count = published_count();
  if (count == shown_count_) return;
  shown_count_ = count;
  // A count published while it is hidden is never shown: the title shows the count after an
  // instruction executed while it is shown.
  if (!shared.show_count.load()) return;
  Text<sizeof shared.title_text.data + 16> title;
  title.format("%s %" PRIu64, shared.title_text.c_str(), count);
  host().set_title(title.c_str());
}

void ExecutionController::reset() {
  end_run_thread();
  requests_.store(0);
  published_count_.store(0);
  shown_count_ = UINT64_MAX;
  steps_end_runs_ = false;
  last_reason_.store(StopReason::paused);
}
