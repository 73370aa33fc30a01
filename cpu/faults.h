#pragma once

#include <cstdint>

// Where the interpreter reports a primary opcode it does not know. The machine layer decides,
// from the stop flag the menu sets, whether that stops the run, and shows the message if it does.
class CpuFaultSink {
 public:
  virtual ~CpuFaultSink() = default;
  // True when the run stops on it (the message has then been shown).
  virtual bool unknown_opcode(uint8_t op) = 0;
};
