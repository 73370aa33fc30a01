#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

// Fixed-capacity, zero-terminated texts, the kind every message and window text is built in.
// Every buffer is sized for the longest text put into it; should a text ever exceed its buffer it
// is cut at the buffer's end rather than written past it.
template <std::size_t N>
struct Text {
  static_assert(N > 0);
  char data[N] = {};

  const char* c_str() const { return data; }
  bool empty() const { return data[0] == '\0'; }
  std::size_t size() const { return std::strlen(data); }
  static constexpr std::size_t capacity() { return N - 1; }

  void clear() { data[0] = '\0'; }
  // Without looking at what the buffer held, so that a literal's length folds where this inlines.
  void set(const char* text) {
    std::size_t length = std::strlen(text);
    if (length > N - 1) length = N - 1;
    std::memcpy(data, text, length);
    data[length] = '\0';
  }
  void append(const char* text) {
    std::size_t used = size();
    std::size_t length = std::strlen(text);
    if (length > N - 1 - used) length = N - 1 - used;
    std::memcpy(data + used, text, length);
    data[used + length] = '\0';
  }
  __attribute__((format(printf, 2, 3))) void format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::vsnprintf(data, N, fmt, args);
    va_end(args);
  }
  __attribute__((format(printf, 2, 3))) void append_format(const char* fmt, ...) {
    std::size_t used = size();
    std::va_list args;
    va_start(args, fmt);
    std::vsnprintf(data + used, N - used, fmt, args);
    va_end(args);
  }
};
