#pragma once

#include <windows.h>

#include <string>

// The system's words for an error code of GetLastError or WSAGetLastError, in one line without
// its full stop.
inline std::string error_text(unsigned long error) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string message = text;
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}
