#pragma once

#include <cstdint>

// The fields of one instruction word, taken by shifts and masks so that no compiler bit-field
// packing is relied on. Every field is filled for every word, whatever its format.
struct InstrFields {
  uint8_t op;       // bits 31..26
  uint8_t rs;       // bits 25..21
  uint8_t rt;       // bits 20..16
  uint8_t rd;       // bits 15..11
  uint8_t sa;       // bits 10..6
  uint8_t funct;    // bits 5..0
  uint16_t imm;     // bits 15..0, zero-extended; users that want a signed offset extend it
  uint32_t target;  // bits 25..0
};

constexpr InstrFields decode_instruction(uint32_t word) {
  return InstrFields{
      .op = static_cast<uint8_t>(word >> 26),
      .rs = static_cast<uint8_t>((word >> 21) & 0x1F),
      .rt = static_cast<uint8_t>((word >> 16) & 0x1F),
      .rd = static_cast<uint8_t>((word >> 11) & 0x1F),
      .sa = static_cast<uint8_t>((word >> 6) & 0x1F),
      .funct = static_cast<uint8_t>(word & 0x3F),
      .imm = static_cast<uint16_t>(word & 0xFFFF),
      .target = word & 0x03FFFFFF,
  };
}

// The interpreter's own record, and the one the debugger windows fill for the disassembler; two
// instances so that a running emulation never disturbs a disassembly in progress.
extern InstrFields exec_fields;
extern InstrFields listing_fields;
