#include "cli/screenshot.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "machine/screen.h"
#include "platform/file_output.h"

// stb's PNG writer, compiled here alone: into memory only, since the file is written as every
// file Korvel writes is.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace {

void append_bytes(void* context, void* data, int size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  auto& png = *static_cast<std::vector<uint8_t>*>(context);
  png.insert(png.end(), bytes, bytes + size);
}

}  // namespace

bool write_screenshot(const std::string& path) {
  const VideoPicture picture = screen_picture();
  if (picture.empty()) {
    std::fprintf(stderr, "korvel-cli: %s: not written: the video interface shows no picture\n",
                 path.c_str());
    return true;
  }
  std::vector<uint8_t> png;
  const int width = static_cast<int>(picture.width);
  if (!stbi_write_png_to_func(append_bytes, &png, width, static_cast<int>(picture.height), 3,
                              picture.rgb.data(), width * 3)) {
    std::fprintf(stderr, "korvel-cli: %s: the picture cannot be encoded\n", path.c_str());
    return false;
  }
  if (std::string error = write_file_whole(path, png); !error.empty()) {
    std::fprintf(stderr, "korvel-cli: %s: cannot be written: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}
