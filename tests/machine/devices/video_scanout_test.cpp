// The picture the VI scans out of RDRAM: its size from the scales, both pixel formats, and
// registers that point anywhere.
#include <gtest/gtest.h>

#include "machine/devices/video_scanout.h"
#include "memory/storage.h"
#include "tests/machine/devices/console_fixture.h"

namespace {

constexpr uint32_t kCtrl = 0xA4400000;
constexpr uint32_t kOrigin = 0xA4400004;
constexpr uint32_t kWidth = 0xA4400008;
constexpr uint32_t kXScale = 0xA4400030;
constexpr uint32_t kYScale = 0xA4400034;

std::vector<uint8_t> pixel(const VideoPicture& picture, uint32_t x, uint32_t y) {
  const auto at = picture.rgb.begin() + 3 * (y * picture.width + x);
  return {at, at + 3};
}

class ScanOutTest : public ConsoleTest {
 protected:
  void show(uint32_t ctrl, uint32_t origin, uint32_t width, uint32_t x_scale, uint32_t y_scale) {
    store_word(kCtrl, ctrl);
    store_word(kOrigin, origin);
    store_word(kWidth, width);
    store_word(kXScale, x_scale);
    store_word(kYScale, y_scale);
  }
};

TEST_F(ScanOutTest, TheScalesGiveThePartOfANominal640x480PictureShown) {
  struct Case {
    uint32_t x_scale, y_scale, width, height;
  };
  for (const Case& c : {Case{0x200, 0x400, 320, 240}, Case{0x400, 0x800, 640, 480},
                        Case{0x280, 0x400, 400, 240}, Case{0x0FFF, 0xABC0FFF, 2559, 959}}) {
    show(3, 0x100000, 320, c.x_scale, c.y_scale);
    const VideoPicture picture = scan_out(console_devices.vi);
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    EXPECT_EQ(picture.rgb.size(), 3u * c.width * c.height);
  }
  // A blank type, or the reserved one, shows nothing.
  for (uint32_t type : {0u, 1u}) {
    show(type, 0x100000, 320, 0x200, 0x400);
    EXPECT_TRUE(scan_out(console_devices.vi).empty());
  }
}

TEST_F(ScanOutTest, PixelsComeFromRowsVIWidthApartInEitherFormat) {
  // 16-bit RGBA 5551: each 5-bit channel widened with its top bits below.
  show(2, 0x1000, 100, 0x200, 0x400);
  const uint32_t second_row = 0x1000 + 100 * 2;
  // Red 31, green 4, blue 16, alpha 1.
  memory.rdram[second_row + 2] = 0xF9;
  memory.rdram[second_row + 3] = 0x21;
  VideoPicture picture = scan_out(console_devices.vi);
  EXPECT_EQ(pixel(picture, 1, 1), (std::vector<uint8_t>{255, 0b00100'001, 0b10000'100}));
  EXPECT_EQ(pixel(picture, 0, 1), (std::vector<uint8_t>{0, 0, 0}));

  // 32-bit RGBA 8888: alpha is not shown.
  show(3, 0x2000, 10, 0x200, 0x400);
  for (uint8_t k = 0; k < 4; ++k) memory.rdram[0x2000 + 10 * 4 + 4 + k] = 0x11 * (k + 1);
  picture = scan_out(console_devices.vi);
  EXPECT_EQ(pixel(picture, 1, 1), (std::vector<uint8_t>{0x11, 0x22, 0x33}));
}

TEST_F(ScanOutTest, AFramebufferPastTheInstalledRdramIsBlackAndWrapsOnTheBus) {
  // From the last installed word on: one pixel of RDRAM, then black to the bus's end, where the
  // addresses wrap to RDRAM's start.
  show(3, 0x3FFFFC, 0x0FFF, 0x0FFF, 0x0FFF);
  memory.rdram[0x3FFFFC] = 0x42;
  memory.rdram[0] = 0x24;
  VideoPicture picture = scan_out(console_devices.vi);
  EXPECT_EQ(pixel(picture, 0, 0), (std::vector<uint8_t>{0x42, 0, 0}));
  EXPECT_EQ(pixel(picture, 1, 0), (std::vector<uint8_t>{0, 0, 0}));
  const uint32_t wrapped = (0x800000 - 0x3FFFFC) / 4;  // the pixel at bus address 0x800000
  EXPECT_EQ(pixel(picture, wrapped % 0x0FFF, wrapped / 0x0FFF), (std::vector<uint8_t>{0x24, 0, 0}));
  // The largest values every register holds stay within the machine's memories.
  show(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
  picture = scan_out(console_devices.vi);
  EXPECT_EQ(picture.width, 2559u);
}

}  // namespace
