#include "cpu/cpu_state.h"

#include "cpu/r4300i/cop0.h"

CpuState cpu{};

void clear_registers() {
  for (int i = 0; i < 32; ++i) {
    cpu.gpr[i] = 0;
    cpu.cp0[i] = 0;
    cpu.fpr[i] = 0.0;
  }
}

void set_model_reset_registers() {
  if (cpu.model == CpuModel::r4300i) cpu.cp0[r4300i::kPrId] = r4300i::kProcessorId;
}
