#pragma once

#include <charconv>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

// A number on the command line: decimal, or hexadecimal after "0x", with a leading "-" for the
// signed types. Nothing else is accepted (no blanks, no "+", no octal), nor a value outside T.
template <std::integral T>
std::optional<T> parse_number(std::string_view text) {
  bool negative = std::is_signed_v<T> && text.starts_with('-');
  if (negative) text.remove_prefix(1);
  int base = 10;
  if (text.starts_with("0x")) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  uint64_t largest = std::numeric_limits<T>::max();
  if (magnitude > largest + (negative ? 1 : 0)) return std::nullopt;
  return static_cast<T>(negative ? 0 - magnitude : magnitude);
}
