// Writes a picture resource as a file; run by the build.
//   korvel_make_resource_file about-bitmap OUTPUT.bmp   the About dialog's picture (bitmap 108)
//   korvel_make_resource_file icon OUTPUT.ico           the program icon, for Windows
#include <cstdio>
#include <string_view>

#include "resources/about_picture.h"
#include "resources/core_bitmap.h"
#include "resources/icon_file.h"
#include "resources/korvel.xpm"

int main(int argc, char** argv) {
  const std::string_view kind = argc == 3 ? argv[1] : "";
  std::vector<uint8_t> bytes;
  if (kind == "about-bitmap") {
    bytes = encode_core_bitmap(draw_about_picture());
  } else if (kind == "icon") {
    bytes = encode_icon_file(korvel_xpm);
  } else {
    std::fprintf(stderr, "usage: %s about-bitmap|icon OUTPUT\n", argv[0]);
    return 2;
  }
  if (bytes.empty()) {
    std::fprintf(stderr, "%s: the picture could not be encoded\n", argv[0]);
    return 1;
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (!file) {
    std::perror(argv[2]);
    return 1;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
