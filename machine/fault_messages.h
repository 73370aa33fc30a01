#pragma once

#include <atomic>
#include <cstdint>

#include "cpu/faults.h"
#include "memory/faults.h"

// Turns the faults of the memory map and the interpreter into the messages the user sees, at the
// moment they happen, completing them with the program counter, Count and what the processor was
// doing. A read error and a reported unknown opcode also clear `running`. The machine makes it the
// sink of both layers.
class FaultMessages final : public MemoryFaultSink, public CpuFaultSink {
 public:
  void unhandled_read(uint64_t address) override;
  void unhandled_write(uint32_t physical) override;
  bool unknown_opcode(uint8_t op) override;

  // How many read errors have been reported so far: a run or a step that sees it grow met one.
  uint64_t read_errors() const { return read_errors_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint64_t> read_errors_{0};
};

// The machine object owns it: machine/object/machine.h.
extern FaultMessages& fault_messages;
