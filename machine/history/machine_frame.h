#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/cpu_state.h"
#include "memory/memory_map.h"

// The hardware register blocks, all of them: small enough to be copied whole.
inline constexpr std::size_t kRegisterBlockBytes =
    sizeof(MemoryStorage) - sizeof MemoryStorage::rdram - sizeof MemoryStorage::sp_dmem -
    sizeof MemoryStorage::sp_imem;

// The machine's state apart from its code pages (RDRAM and the SP memories): the processor, the
// register blocks, where cartridge reads go on in the image, and the one setting that changes
// what an instruction does. A run from the same frame and pages does the same thing again.
struct MachineFrame {
  CpuState cpu;
  uint8_t register_blocks[kRegisterBlockBytes];
  long cartridge_position;
  int32_t stop_on_unhandled;

  static MachineFrame capture();
  void put() const;
};
