#include "platform/win32/menu.h"

namespace {

void add_entries(HMENU menu, std::span<const MenuEntry> entries) {
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuEntryKind::kSubmenu: {
        HMENU submenu = CreatePopupMenu();
        add_entries(submenu, entry.submenu());
        AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), entry.text);
        break;
      }
      case MenuEntryKind::kSeparator:
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        break;
      case MenuEntryKind::kItem: {
        UINT flags = MF_STRING;
        if (entry.grayed) flags |= MF_GRAYED;
        if (entry.check == CheckMark::kSet) flags |= MF_CHECKED;
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(entry.id), entry.text);
        break;
      }
    }
  }
}

}  // namespace

HMENU build_menu_bar(std::span<const MenuEntry> entries) {
  HMENU bar = CreateMenu();
  add_entries(bar, entries);
  return bar;
}
