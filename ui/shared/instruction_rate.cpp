#include "ui/shared/instruction_rate.h"

#include "cpu/cpu_state.h"
#include "machine/debug_access.h"
#include "machine/host.h"

namespace {

uint64_t read_count() {
  return read_register({RegisterFile::cp0, kCountRegister});
}

// Sleeps until the interval's end, woken early only to show a message box the run thread posts.
class SteadyMeasurementClock final : public MeasurementClock {
 public:
  void wait(std::chrono::steady_clock::duration interval) override {
    const auto end = std::chrono::steady_clock::now() + interval;
    WakeSignal& wake = window_thread_wake();
    for (;;) {
      const uint64_t seen = wake.count();
      host().serve_pending_requests();
      if (std::chrono::steady_clock::now() >= end) return;
      wake.wait_past(seen, end);
    }
  }
};

}  // namespace

MeasurementClock& steady_measurement_clock() {
  static SteadyMeasurementClock clock;
  return clock;
}

uint64_t instructions_during(std::chrono::steady_clock::duration interval,
                             MeasurementClock& clock) {
  const uint64_t first = read_count();
  clock.wait(interval);
  return read_count() - first;
}
