#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// A statically linked big-endian MIPS executable (ELF32 or ELF64), as far as a ROM needs it: the
// bytes of its loadable segments, where they go in RDRAM, and its entry point.
struct ElfSegment {
  uint32_t address;            // where it runs, KSEG0, KSEG1 or untranslated
  std::vector<uint8_t> bytes;  // its file bytes, then the zeros its memory size adds
};

struct ElfProgram {
  std::vector<ElfSegment> segments;  // the non-empty loadable ones, in file order
  uint32_t entry = 0;
};

// The program in `file`, or why it is not one a ROM can be made from (one line, no full stop).
// Every offset and size is checked against the file and RDRAM before it is used; the segments may
// not share a byte of RDRAM, and the entry point must be a word in one of them.
std::variant<ElfProgram, std::string> parse_elf_program(const std::vector<uint8_t>& file);
