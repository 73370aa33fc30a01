#pragma once

#include <cstdint>

#include "memory/memory_map.h"

// Which words of the code pages the engines hold copies of, decoded or translated: one byte for
// each word, in the order of the code pages (so that a word's place is its distance from RDRAM's
// first byte, SP DMEM and SP IMEM following RDRAM, divided by 4). A word is marked as it is
// copied; the marks go with every copy. A store into a word without copies has no engine to tell,
// which translated code looks up before it calls out.
inline constexpr uint32_t kCodeWords = kCodePages * 1024;
using CopiedWordMarks = uint8_t[kCodeWords];
// The machine object owns them: machine/object/machine.h.
extern CopiedWordMarks& code_word_copied;

inline uint32_t code_word_index(uint32_t physical) {
  return static_cast<uint32_t>(code_page_index(physical)) * 1024 + ((physical & 0xFFF) >> 2);
}

// The word at `physical`, in a code page, which the engine copying it also marks copied.
inline void mark_code_word_copied(uint32_t physical) {
  code_word_copied[code_word_index(physical)] = 1;
}

// Clears the marks, in the pages marked copied: before those marks are cleared.
void clear_code_words_copied();
