#pragma once

#include <QIcon>
#include <QPixmap>

// The program icon `KORVEL`.
QIcon korvel_icon();

// A bitmap resource by its name, such as "108" for the About picture; a null pixmap if there is
// none.
QPixmap bitmap_resource(const char* name);
