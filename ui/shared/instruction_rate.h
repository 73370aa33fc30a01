#pragma once

#include <chrono>
#include <cstdint>

// How many instructions the processor completes during `interval`, measured on a monotonic
// clock. The calling window thread only waits meanwhile, but keeps showing the message boxes the
// run thread raises, since that thread stops until they are dismissed.
uint64_t instructions_during(std::chrono::steady_clock::duration interval);
