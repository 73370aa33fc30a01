#include "ui/shared/status_lines.h"

#include <gtest/gtest.h>

void PrintTo(const StatusLine& line, std::ostream* out) {
  *out << line.y << ": \"" << line.text << '"';
}

namespace {

RomState loaded_rom() {
  RomState state;
  state.rom_loaded = 1;
  state.byte_order_text.set("Byteswapped.");
  state.pc_text.set("Program Counter: 4000040");
  state.rom_name.set("KORVEL DEMO         ");
  state.rom_manufacturer.set("Nintendo");
  state.country_text.set("Country: Japan");
  return state;
}

const std::vector<StatusLine> kHeaderLines = {{0, "Byteswapped."},
                                              {20, "Program Counter: 4000040"},
                                              {40, "KORVEL DEMO         "},
                                              {60, "Manufacturer: Nintendo"},
                                              {80, "Country: Japan"}};

TEST(StatusLines, HeaderLinesOnlyWhileTheRomIsShown) {
  RomState state = loaded_rom();
  EXPECT_EQ(status_lines(state, {}), kHeaderLines);
  state.rom_loaded = 0;  // after Start or Close ROM
  EXPECT_TRUE(status_lines(state, {}).empty());
}

TEST(StatusLines, TheRateLineIsOneCharacterWiderWhenJustMeasured) {
  struct Case {
    IpsDisplay ips;
    const char* text;  // nullptr: no rate line
  };
  const Case cases[] = {
      {{.shown = true, .just_measured = true, .value = 0}, "        0 instructions per second. "},
      {{.shown = true, .just_measured = false, .value = 0}, "       0 instructions per second. "},
      // The second measurement of a pair is drawn once, then no more.
      {{.shown = false, .just_measured = true, .value = 7}, "        7 instructions per second. "},
      {{.shown = false, .just_measured = false, .value = 7}, nullptr},
      // Rates are whole unsigned numbers: the translator's passes 2^31 a second.
      {{.shown = true, .just_measured = false, .value = 0x1'0000'0005},
       "4294967301 instructions per second. "},
      {{.shown = true, .just_measured = true, .value = 0xFFFF'FFFF},
       "4294967295 instructions per second. "},
      {{.shown = true, .just_measured = false, .value = 7'000'000'000},
       "7000000000 instructions per second. "},
      {{.shown = true, .just_measured = false, .value = 123'456'789'0},
       "1234567890 instructions per second. "},
  };
  for (const Case& c : cases) {
    const std::vector<StatusLine> lines = status_lines(RomState{}, c.ips);
    if (!c.text) {
      EXPECT_TRUE(lines.empty());
      continue;
    }
    EXPECT_EQ(lines, (std::vector<StatusLine>{{0, c.text}}));
  }
}

TEST(StatusLines, TheRateLineIsDrawnLastOverTheByteOrderLine) {
  std::vector<StatusLine> expected = kHeaderLines;
  expected.push_back({0, "   123456 instructions per second. "});
  EXPECT_EQ(status_lines(loaded_rom(), {.shown = true, .just_measured = true, .value = 123456}),
            expected);
}

}  // namespace
