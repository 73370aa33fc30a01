#pragma once

#include <cstddef>
#include <cstdint>

// RDRAM as the console has it, and with the memory expansion.
inline constexpr uint32_t kRdramStandardBytes = 4 * 1024 * 1024;
inline constexpr uint32_t kRdramExpansionBytes = 8 * 1024 * 1024;

// The memories the processor reaches directly: RDRAM and the signal processor's two memories. (The
// hardware register blocks are the devices', memory/device.h.)
//
// The memories code runs from come first and in one piece, 4 KB pages one after another (RDRAM's
// 2048, SP DMEM, SP IMEM), so that a byte's distance from RDRAM's first one is its code page and
// its place in that page: translated code finds both with a shift.
struct MemoryStorage {
  uint8_t rdram[kRdramExpansionBytes];  // of which the machine has `bus.rdram_bytes`
  uint8_t sp_dmem[4096];
  uint8_t sp_imem[4096];
};

static_assert(offsetof(MemoryStorage, sp_dmem) == sizeof MemoryStorage::rdram &&
              offsetof(MemoryStorage, sp_imem) == offsetof(MemoryStorage, sp_dmem) + 4096);

// The machine's memories (the machine object owns them: machine/object/machine.h).
extern MemoryStorage& memory;
