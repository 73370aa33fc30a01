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

// One line's pixels from `row` on, into `out`, three bytes each. `byte(offset)` reads the line's
// bytes; inlined, so that a line wholly in RDRAM is read straight from it.
template <class Byte>
uint8_t* scan_line(uint32_t width, uint32_t bytes, Byte byte, uint8_t* out) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t at = x * bytes;
    if (bytes == 4) {
      for (uint32_t k = 0; k < 3; ++k) *out++ = byte(at + k);
    } else {
      const uint32_t pixel = uint32_t{byte(at)} << 8 | byte(at + 1);
      *out++ = widened(pixel >> 11 & 31);
      *out++ = widened(pixel >> 6 & 31);
      *out++ = widened(pixel >> 1 & 31);
    }
  }
  return out;
}

}  // namespace

VideoPicture scan_out(const VideoInterface& vi) {
  const uint32_t bytes = pixel_bytes(vi.registers[VideoInterface::kCtrl]);
  if (bytes == 0) return {};
  VideoPicture picture;
  picture.width = scaled(vi.registers[VideoInterface::kXScale], 640);
  picture.height = scaled(vi.registers[VideoInterface::kYScale], 240);
  picture.rgb.resize(std::size_t{picture.width} * picture.height * 3);
  // Each register is masked to its bits, so no address below passes 32 bits; the RCP's bus wraps
  // it within RDRAM, and bytes past the RDRAM installed read as black.
  const uint32_t origin = vi.registers[VideoInterface::kOrigin];
  const uint32_t stride = vi.registers[VideoInterface::kWidth] * bytes;
  const uint32_t line_bytes = picture.width * bytes;
  uint8_t* out = picture.rgb.data();
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint32_t row = origin + y * stride;
    const uint32_t physical = row & kRdramBusMask;
    if (physical + line_bytes <= bus.rdram_bytes) {
      const uint8_t* line = memory.rdram + physical;
      out = scan_line(
          picture.width, bytes, [line](uint32_t at) { return line[at]; }, out);
    } else {
      out = scan_line(
          picture.width, bytes, [row](uint32_t at) { return dma_rdram_byte(row + at); }, out);
    }
  }
  return picture;
}
