#pragma once

#include <cstdint>

// Where the memory map reports an address it cannot serve. The machine layer shows the message
// (it knows the program counter, Count and what the processor was doing) at that same moment.
class MemoryFaultSink {
 public:
  virtual ~MemoryFaultSink() = default;
  // A read of `address` as it was asked for (before translation); the read then yields 0.
  virtual void unhandled_read(uint64_t address) = 0;
  // A write to the translated `physical` address; nothing is stored.
  virtual void unhandled_write(uint32_t physical) = 0;
};
