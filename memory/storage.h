#pragma once

#include <cstddef>
#include <cstdint>

// The console's storage: RDRAM, the signal processor's memories and the hardware register blocks.
// The register blocks are plain storage: a write stores the byte and nothing else happens.
//
// The memories code runs from come first and in one piece, 4 KB pages one after another (RDRAM's
// 1024, SP DMEM, SP IMEM), so that a byte's distance from RDRAM's first one is its code page and
// its place in that page: translated code finds both with a shift.
struct MemoryStorage {
  uint8_t rdram[4 * 1024 * 1024];
  uint8_t sp_dmem[4096];
  uint8_t sp_imem[4096];
  uint8_t rdram_regs[40];
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

static_assert(offsetof(MemoryStorage, sp_dmem) == sizeof MemoryStorage::rdram &&
              offsetof(MemoryStorage, sp_imem) == offsetof(MemoryStorage, sp_dmem) + 4096);

extern MemoryStorage memory;
