#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// Numbers as the protocol writes them: hex digits, most significant first, either case on input
// and lower case on output.

std::optional<uint8_t> hex_digit(char c);
void append_hex_byte(std::string& out, uint8_t byte);
// 16 digits: the 8 bytes of a register in the target's (big-endian) order.
void append_hex_u64(std::string& out, uint64_t value);

// The whole of `text` as a number of 1 to 16 digits.
std::optional<uint64_t> parse_hex(std::string_view text);

// `text` before and after the first `separator`; nothing when there is none.
std::optional<std::pair<std::string_view, std::string_view>> split_at(std::string_view text,
                                                                      char separator);

// An address as gdb sends it, masked to the processor's 32 bits: gdb sends some masked already and
// some sign-extended to 64, and both name the same address.
std::optional<uint32_t> parse_address(std::string_view text);
