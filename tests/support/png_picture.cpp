#include "tests/support/png_picture.h"

#include <string>

#include "tests/support/rom_image.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

Picture read_png(const std::filesystem::path& path) {
  Picture picture;
  int channels = 0;
  stbi_uc* pixels = stbi_load(path.string().c_str(), &picture.width, &picture.height, &channels, 3);
  if (pixels == nullptr) return {};
  picture.rgb.assign(pixels, pixels + 3 * picture.width * picture.height);
  stbi_image_free(pixels);
  return picture;
}

Picture suite_reference(const char* name) {
  return read_png(testdata_dir() / "suite" / "ref" / (std::string(name) + ".png"));
}

std::filesystem::path suite_rom(const char* name) {
  return testdata_dir() / "suite" / "roms" / (std::string(name) + ".z64");
}
