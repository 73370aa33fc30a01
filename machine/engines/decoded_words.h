#pragma once

#include <cstdint>
#include <cstring>

#include "machine/engines/engine_operations.h"
#include "machine/stops/watchpoints.h"
#include "memory/memory_map.h"

// The decoded form of instruction words, which the fast engines run from.

// 32 bytes, so that the distance between two words is a shift away from their count.
struct alignas(32) DecodedWord {
  const void* handler;  // where the decoded engine's run loop goes for this word
  uint8_t op;
  uint8_t a;      // the register written: rt of the immediate forms, rd of the others, 31 for JAL;
                  // a store's source
  uint8_t b;      // rs
  uint8_t c;      // rt
  uint32_t imm;   // the immediate, the shift amount or the jump's target field
  uint32_t word;  // as fetched, for `current_instruction`
  // A branch's target as the index of its word in the page. A branch whose target lies in another
  // page, or whose target or continuation may be a stop address, is left to the exact path.
  uint16_t target;
};

// MFC1, DMFC1, MTC1 and DMTC1 (rs 0, 1, 4 and 5), which run as op_fpu: the first two write rt
// (register `a`), the others read it.
inline bool moves_between_register_files(const DecodedWord& w) {
  const unsigned rs = InstrFields{w.word}.rs();
  return w.op == op_fpu && (rs == 0 || rs == 1 || rs == 4 || rs == 5);
}

// Whether a word writes register `a`, and which of `a`, `b` and `c` it reads (Operands): its
// operation's, with the FPU's moves.
inline bool writes_a(const DecodedWord& w) {
  return operation(w.op).writes_a ||
         (moves_between_register_files(w) && InstrFields{w.word}.rs() < 4);
}
inline uint8_t reads(const DecodedWord& w) {
  const bool moves_to_fpu = moves_between_register_files(w) && InstrFields{w.word}.rs() >= 4;
  return operation(w.op).reads | (moves_to_fpu ? kA : kNone);
}

// The decoded words of one 4 KB page of plain storage, and after them one that leaves the page.
struct DecodedPage {
  explicit DecodedPage(int index);

  uint8_t* const storage;
  const uint32_t physical;
  uint32_t generation = 0;
  DecodedWord words[1025]{};
};

// The word at `physical` (in a code page) in decoded form, without a handler.
DecodedWord decoded_form(uint32_t physical);

// Fills `word` from the storage it stands for. `handlers` gives each operation's place in the run
// loop.
void decode_word(const DecodedPage& page, DecodedWord& word, const void* const* handlers);

// The bytes of an access when all of them lie in one of the memories code runs from, in pages
// without a watched byte; null otherwise (`kNotFixed` among them), and the exact path then makes
// the access. `rdram_bytes` is the installed RDRAM's size, which the caller holds in a register.
inline uint8_t* plain_bytes(uint32_t physical, uint32_t size, uint32_t rdram_bytes) {
  uint8_t* bytes = nullptr;
  if (physical <= rdram_bytes - size) {
    bytes = memory.rdram + physical;
  } else if (uint32_t sp = physical - kSpDmemFirst; sp <= kSpMemoryBytes - size) {
    bytes = memory.sp_dmem + sp;
  } else if (sp - kSpMemoryBytes <= kSpMemoryBytes - size) {
    bytes = memory.sp_imem + (sp - kSpMemoryBytes);
  }
  if (bytes && !watchpoints.empty()) [[unlikely]] {
    const int page = code_page_index(physical);
    const int last = code_page_index(physical + size - 1);
    if (watchpoints.page_watched(page) || watchpoints.page_watched(last)) return nullptr;
  }
  return bytes;
}

// `size` (1, 2, 4 or 8) bytes in memory's order from and to the low bytes of a register's value.
inline void store_big_endian(uint8_t* bytes, uint64_t value, unsigned size) {
  if (size == 8) {
    value = __builtin_bswap64(value);
    std::memcpy(bytes, &value, 8);
  } else if (size == 4) {
    uint32_t word = __builtin_bswap32(static_cast<uint32_t>(value));
    std::memcpy(bytes, &word, 4);
  } else if (size == 2) {
    uint16_t half = __builtin_bswap16(static_cast<uint16_t>(value));
    std::memcpy(bytes, &half, 2);
  } else {
    bytes[0] = static_cast<uint8_t>(value);
  }
}

inline uint64_t load_big_endian(const uint8_t* bytes, unsigned size) {
  if (size == 8) {
    uint64_t value;
    std::memcpy(&value, bytes, 8);
    return __builtin_bswap64(value);
  }
  if (size == 4) {
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return __builtin_bswap32(value);
  }
  if (size == 2) {
    uint16_t value;
    std::memcpy(&value, bytes, 2);
    return __builtin_bswap16(value);
  }
  return bytes[0];
}
