#include "cpu/cpu_state.h"

void clear_registers() {
  for (int i = 0; i < 32; ++i) {
    cpu.gpr[i] = 0;
    cpu.cp0[i] = 0;
    cpu.fpr[i].bits = 0;
  }
  cpu.fcr0 = 0;
  cpu.fcr31 = 0;
}
