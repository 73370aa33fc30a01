#pragma once

#include <cstdint>

// The console's storage: RDRAM, the signal processor's memories and the hardware register blocks.
// The register blocks are plain storage: a write stores the byte and nothing else happens.
struct MemoryStorage {
  uint8_t rdram[4 * 1024 * 1024];
  uint8_t rdram_regs[40];
  uint8_t sp_dmem[4096];
  uint8_t sp_imem[4096];
  uint8_t sp_regs[32];  // its first 8 bytes also serve the SP PC block
  uint8_t dpc_regs[32];
  uint8_t dps_regs[16];
  uint8_t mi_regs[56];
  uint8_t vi_regs[56];
  uint8_t ai_regs[24];
  uint8_t pi_regs[52];
  uint8_t ri_regs[32];
  uint8_t si_regs[28];
};

extern MemoryStorage memory;
