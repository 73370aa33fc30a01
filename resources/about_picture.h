#pragma once

#include "resources/indexed_image.h"

inline constexpr int kAboutPictureWidth = 361;
inline constexpr int kAboutPictureHeight = 164;

// The About dialog's picture: a chip on a circuit board beside the program's name.
IndexedImage draw_about_picture();
