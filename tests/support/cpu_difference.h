#pragma once

#include <sstream>
#include <string>

#include "cpu/cpu_state.h"

// Collects the first difference between what a test expected and what it got: each comparison
// after the first one that differs is passed over.
class FirstDifference {
 public:
  template <class T>
  void compare(const std::string& name, const T& expected, const T& got) {
    if (out_.tellp() == 0 && expected != got) out_ << name << ": " << expected << ", but " << got;
  }

  // Every register, pc, the delay-slot hand-over, the current word and the opcode name.
  void compare(const CpuState& expected, const CpuState& got);

  // Empty when there is none.
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};
