#pragma once

#include <chrono>
#include <cstdint>

// What a rate measurement waits on: the monotonic clock in the program, a clock of their own in
// the tests.
class MeasurementClock {
 public:
  virtual ~MeasurementClock() = default;

  // Returns once `interval` has passed. The calling window thread only waits meanwhile, but keeps
  // showing the message boxes the run thread raises, since that thread stops until they are
  // dismissed.
  virtual void wait(std::chrono::steady_clock::duration interval) = 0;
};

// The monotonic clock's measurements.
MeasurementClock& steady_measurement_clock();

// How many instructions the processor completes while `clock` waits for `interval`.
uint64_t instructions_during(std::chrono::steady_clock::duration interval, MeasurementClock& clock);
