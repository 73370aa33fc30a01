#include "ui/shared/instruction_rate.h"

#include <thread>

#include "cpu/cpu_state.h"
#include "machine/debug_access.h"
#include "machine/host.h"

namespace {

uint64_t read_count() {
  return read_register({RegisterFile::cp0, kCountRegister});
}

}  // namespace

uint64_t instructions_during(std::chrono::steady_clock::duration interval) {
  const uint64_t first = read_count();
  const auto end = std::chrono::steady_clock::now() + interval;
  while (std::chrono::steady_clock::now() < end) {
    host().serve_pending_requests();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return read_count() - first;
}
