#pragma once

#include <QString>

// Adds to the application's fonts a font the tests make themselves, whose characters all advance
// alike, so that a fixed-pitch font is there whatever the machine has installed. Its family name;
// empty if the font database refused it.
QString add_monospace_test_font();
