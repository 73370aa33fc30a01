#pragma once

#include <QString>

// The core's texts are 8-bit strings in the local encoding, the encoding its file paths come in.
inline QString from_host_text(const char* text) {
  return QString::fromLocal8Bit(text);
}
