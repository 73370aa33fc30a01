#include <gtest/gtest.h>

#include <set>

#include "resources/strings.h"
#include "tests/resources/menu_outline.h"

namespace {

TEST(MenuTable, HoldsTheMenuKorvelEntryForEntry) {
  EXPECT_EQ(menu_outline(kMenuBar),
            "&File\n"
            "  &Open ROM... 40004\n"
            "  &Close ROM 40022\n"
            "  &Load State 40005 grayed\n"
            "  &Save State 40006 grayed\n"
            "  -\n"
            "  &ROM Info 40003\n"
            "  -\n"
            "  E&xit 40001\n"
            "&Emulation\n"
            "  &Start CPU 40008 grayed\n"
            "  &Pause CPU 40009 grayed\n"
            "  &Reset CPU 40010 grayed\n"
            "  -\n"
            "  Show &Count Register 40011 unchecked\n"
            "&Debug\n"
            "  &Registers\n"
            "    GPR 40016\n"
            "    CP0 40017\n"
            "    FPR 40018\n"
            "  &Memory 65535 grayed\n"
            "  &Commands 40020\n"
            "  -\n"
            "  &Stop on unhandled opcode 40012 checked\n"
            "&Performance\n"
            "  CPU Thread\n"
            "    &High 40013 unchecked\n"
            "    &Normal 40014 checked\n"
            "    &Low 40015 unchecked\n"
            "&Help\n"
            "  &About... 40007\n"
            "Current &IPS 40021\n");
}

TEST(MenuTable, TheConsoleMachineEndsTheDebugMenuWithTheScreen) {
  std::string expected = menu_outline(kMenuBar);
  const std::string last_debug_item = "  &Stop on unhandled opcode 40012 checked\n";
  expected.insert(expected.find(last_debug_item) + last_debug_item.size(),
                  "  -\n  S&creen 40023\n");
  EXPECT_EQ(menu_outline(menu_bar_for(true)), expected);
  EXPECT_EQ(menu_outline(menu_bar_for(false)), menu_outline(kMenuBar));
}

void collect_ids(std::span<const MenuEntry> entries, std::multiset<int>& ids) {
  for (const MenuEntry& entry : entries) {
    if (entry.kind == MenuEntryKind::kItem) ids.insert(entry.id);
    if (entry.kind == MenuEntryKind::kSubmenu) collect_ids(entry.submenu(), ids);
  }
}

TEST(MenuTable, EveryCommandIdOccursOnce) {
  std::multiset<int> ids;
  collect_ids(kMenuBar, ids);
  for (int id : ids) EXPECT_EQ(ids.count(id), 1u) << id;
  EXPECT_EQ(ids.size(), 21u);
}

TEST(StringTable, DescribesMenuCommands) {
  std::multiset<int> menu_ids;
  collect_ids(kMenuBar, menu_ids);
  std::string table;
  for (const StringEntry& entry : kStringTable) {
    EXPECT_EQ(menu_ids.count(entry.id), 1u) << entry.id;
    table += std::to_string(entry.id) + ' ' + entry.text + '\n';
  }
  EXPECT_EQ(table,
            "40001 Exit Korvel\n"
            "40004 Open a ROM\n"
            "40005 Load a previously saved state\n"
            "40006 Save the current state\n"
            "40007 About Korvel\n"
            "40008 Start Emulation\n"
            "40009 Pause emulation\n"
            "40010 Reset Emulation\n"
            "40011 Display number of current instruction\n");
}

}  // namespace
