#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The bytes of an icon file (.ico) holding the one image of an XPM picture of at most 16 colours,
// at 4 bits per pixel; the XPM's colour "None" becomes the transparent part of the mask. Empty if
// the XPM is not of that kind.
std::vector<uint8_t> encode_icon_file(std::span<const char* const> xpm);
