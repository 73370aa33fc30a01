#include "cpu/faults.h"

namespace {

class NoFaultSink final : public CpuFaultSink {
 public:
  bool unknown_opcode(uint8_t) override { return false; }
};

NoFaultSink no_fault_sink;
CpuFaultSink* installed_sink = &no_fault_sink;

}  // namespace

CpuFaultSink& cpu_fault_sink() {
  return *installed_sink;
}

void set_cpu_fault_sink(CpuFaultSink* sink) {
  installed_sink = sink ? sink : &no_fault_sink;
}
