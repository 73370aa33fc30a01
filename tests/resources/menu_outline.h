#pragma once

#include <span>
#include <string>

#include "resources/menu.h"

// The menu as indented lines, one per entry: "text id [grayed] [checked|unchecked]", "-" for a
// separator, a submenu's entries two blanks deeper than its title.
inline std::string menu_outline(std::span<const MenuEntry> entries, int depth = 0) {
  std::string out;
  for (const MenuEntry& entry : entries) {
    out.append(2 * depth, ' ');
    if (entry.kind == MenuEntryKind::kSeparator) {
      out += "-\n";
      continue;
    }
    out += entry.text;
    if (entry.kind == MenuEntryKind::kSubmenu) {
      out += '\n';
      out += menu_outline(entry.submenu(), depth + 1);
      continue;
    }
    out += ' ' + std::to_string(entry.id);
    if (entry.grayed) out += " grayed";
    if (entry.check != CheckMark::kNone)
      out += entry.check == CheckMark::kSet ? " checked" : " unchecked";
    out += '\n';
  }
  return out;
}
