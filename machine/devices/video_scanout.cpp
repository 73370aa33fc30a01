#include "machine/devices/video_scanout.h"

#include "memory/dma.h"

namespace {

// VI_CTRL's type: how many bytes a framebuffer pixel takes, 0 for a blank screen.
uint32_t pixel_bytes(uint32_t ctrl) {
  switch (ctrl & 3) {
    case 2:
      return 2;
    case 3:
      return 4;
    default:
      return 0;  // blank, or the reserved type, which shows nothing either
  }
}

// A 5-bit channel spread over 8 bits, its top bits repeated below so that 31 becomes 255.
uint8_t widened(uint32_t channel) {
  return static_cast<uint8_t>(channel << 3 | channel >> 2);
}

// The scale's 2.10 fixed-point value applied to `nominal` pixels.
uint32_t scaled(uint32_t scale_register, uint32_t nominal) {
  return nominal * (scale_register & 0xFFF) / 1024;
}

}  // namespace

VideoPicture scan_out(const VideoInterface& vi) {
  const uint32_t bytes = pixel_bytes(vi.registers[VideoInterface::kCtrl]);
  if (bytes == 0) return {};
  VideoPicture picture;
  picture.width = scaled(vi.registers[VideoInterface::kXScale], 640);
  picture.height = scaled(vi.registers[VideoInterface::kYScale], 240);
  picture.rgb.reserve(std::size_t{picture.width} * picture.height * 3);
  // Each register is masked to its bits, so no address below passes 32 bits; the RCP's bus wraps
  // it within RDRAM.
  const uint32_t origin = vi.registers[VideoInterface::kOrigin];
  const uint32_t stride = vi.registers[VideoInterface::kWidth] * bytes;
  for (uint32_t y = 0; y < picture.height; ++y) {
    for (uint32_t x = 0; x < picture.width; ++x) {
      const uint32_t at = origin + y * stride + x * bytes;
      if (bytes == 4) {
        for (uint32_t k = 0; k < 3; ++k) picture.rgb.push_back(dma_rdram_byte(at + k));
      } else {
        const uint32_t pixel = uint32_t{dma_rdram_byte(at)} << 8 | dma_rdram_byte(at + 1);
        picture.rgb.push_back(widened(pixel >> 11 & 31));
        picture.rgb.push_back(widened(pixel >> 6 & 31));
        picture.rgb.push_back(widened(pixel >> 1 & 31));
      }
    }
  }
  return picture;
}
