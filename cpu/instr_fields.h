#pragma once

#include <cstdint>

// The fields of one instruction word, taken by shifts and masks when asked for, so that no compiler
// bit-field packing is relied on and the run loop pays only for the fields an instruction uses.
// Every field is available for every word, whatever its format.
struct InstrFields {
  uint32_t word = 0;

  constexpr uint8_t op() const { return static_cast<uint8_t>(word >> 26); }           // 31..26
  constexpr uint8_t rs() const { return static_cast<uint8_t>((word >> 21) & 0x1F); }  // 25..21
  constexpr uint8_t rt() const { return static_cast<uint8_t>((word >> 16) & 0x1F); }  // 20..16
  constexpr uint8_t rd() const { return static_cast<uint8_t>((word >> 11) & 0x1F); }  // 15..11
  constexpr uint8_t sa() const { return static_cast<uint8_t>((word >> 6) & 0x1F); }   // 10..6
  constexpr uint8_t funct() const { return static_cast<uint8_t>(word & 0x3F); }       // 5..0
  // Zero-extended; users that want a signed offset extend it themselves.
  constexpr uint16_t imm() const { return static_cast<uint16_t>(word & 0xFFFF); }  // 15..0
  constexpr uint32_t target() const { return word & 0x03FFFFFF; }                  // 25..0
};

constexpr InstrFields decode_instruction(uint32_t word) {
  return InstrFields{word};
}
