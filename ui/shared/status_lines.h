#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory/rom_image.h"

// The instructions-per-second line. Each measurement is drawn once as it is taken, one character
// wider than the later repaints of the same line.
struct IpsDisplay {
  bool shown = false;          // repaints draw the line
  bool just_measured = false;  // the next paint is the measurement's own
  uint64_t value = 0;          // the count of the last measurement
};

struct StatusLine {
  int y;  // pixels from the top of the client area to the top of the line
  std::string text;

  bool operator==(const StatusLine&) const = default;
};

// What one paint of the main window's client area draws, in drawing order: the ROM's header lines
// while they are shown, then the instructions-per-second line over the first of them.
std::vector<StatusLine> status_lines(const RomState& rom_state, const IpsDisplay& ips);
