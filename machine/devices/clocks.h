#pragma once

#include <cstdint>

// The console's clocks, which its devices count their time in. The machine's clock counts the
// processor's cycles: 93.75 MHz, one an instruction.
inline constexpr uint64_t kProcessorHz = 93750000;

// The TV standard the console is built for, numbered as the boot code hands it on.
enum class TvType : uint8_t { pal = 0, ntsc = 1, mpal = 2 };

// The video clock of each standard, which the AI's sample rate divides (n64brew "Video
// Interface", libdragon's audio.c).
constexpr uint64_t video_clock_hz(TvType tv) {
  switch (tv) {
    case TvType::pal:
      return 49656530;
    case TvType::mpal:
      return 48628316;
    case TvType::ntsc:
      break;
  }
  return 48681812;
}
