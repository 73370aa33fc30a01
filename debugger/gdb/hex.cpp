#include "debugger/gdb/hex.h"

namespace {

constexpr char kDigits[] = "0123456789abcdef";

}  // namespace

std::optional<uint8_t> hex_digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return std::nullopt;
}

void append_hex_byte(std::string& out, uint8_t byte) {
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 15]);
}

void append_hex_u64(std::string& out, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    append_hex_byte(out, static_cast<uint8_t>(value >> shift));
  }
}

std::optional<uint64_t> parse_hex(std::string_view text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    std::optional<uint8_t> digit = hex_digit(c);
    if (!digit) return std::nullopt;
    value = value << 4 | *digit;
  }
  return value;
}

std::optional<std::pair<std::string_view, std::string_view>> split_at(std::string_view text,
                                                                      char separator) {
  std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return std::nullopt;
  return std::pair{text.substr(0, at), text.substr(at + 1)};
}

std::optional<uint32_t> parse_address(std::string_view text) {
  std::optional<uint64_t> value = parse_hex(text);
  if (!value) return std::nullopt;
  return static_cast<uint32_t>(*value);
}
