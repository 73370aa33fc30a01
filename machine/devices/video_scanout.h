#pragma once

#include <cstdint>
#include <vector>

#include "machine/devices/video_interface.h"

// What a screen shows of the framebuffer the VI scans out, pixel for pixel: three bytes (red,
// green, blue) a pixel, rows from the top. Empty when the VI shows nothing.
struct VideoPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;

  bool empty() const { return width == 0 || height == 0; }
};

// The picture `vi` shows of RDRAM: the framebuffer at VI_ORIGIN, rows VI_WIDTH pixels apart, in
// the pixel format VI_CTRL's type names (16-bit RGBA 5551 or 32-bit RGBA 8888; nothing when the
// type is blank). Its size is the part of the framebuffer a nominal 640x480 picture takes in:
// 640 × VI_X_SCALE and 240 × VI_Y_SCALE pixels, the scales 2.10 fixed point. The filters that
// smooth the picture on its way to the TV (anti-aliasing, divot, gamma, dither) are not applied.
// Bytes past the RDRAM installed read as black.
VideoPicture scan_out(const VideoInterface& vi);
