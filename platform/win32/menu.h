#pragma once

#include <windows.h>

#include <span>

#include "resources/menu.h"

// The menu bar built from a menu table: every item carries its command id, grayed and checked as
// the table starts it. The window that is given it owns it.
HMENU build_menu_bar(std::span<const MenuEntry> entries);
