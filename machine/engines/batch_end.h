#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"

// What the exact path leaves as the opcode's name after the word a batch ends with: 0.2c's J and
// JR, which take effect at once, keep theirs; after any other word the next fetch's "Reading"
// stands.
inline void name_after_batch(uint32_t last_word) {
  const bool v02c = cpu.model == CpuModel::v02c;
  if (v02c && last_word >> 26 == 2) {
    cpu.opcode_name.set("J");
  } else if (v02c && last_word >> 26 == 0 && (last_word & 0x3F) == 8) {
    cpu.opcode_name.set("JR");
  } else {
    cpu.opcode_name.set("Reading");
  }
}
