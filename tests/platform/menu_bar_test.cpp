#include "platform/qt/menu_bar.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <memory>
#include <vector>

#include "tests/resources/menu_outline.h"

namespace {

// The built menu in the outline form of the menu table.
std::string outline(const QWidget& container, int depth = 0) {
  std::string out;
  for (const QAction* action : container.actions()) {
    out.append(2 * depth, ' ');
    if (action->isSeparator()) {
      out += "-\n";
      continue;
    }
    out += action->text().toStdString();
    if (action->menu()) {
      out += '\n';
      out += outline(*action->menu(), depth + 1);
      continue;
    }
    out += ' ' + std::to_string(action->data().toInt());
    if (!action->isEnabled()) out += " grayed";
    if (action->isCheckable()) out += action->isChecked() ? " checked" : " unchecked";
    out += '\n';
  }
  return out;
}

std::unique_ptr<QMenuBar> build(std::vector<int>* commands = nullptr) {
  return std::unique_ptr<QMenuBar>(build_menu_bar(kMenuBar, [commands](int id) {
    if (commands) commands->push_back(id);
  }));
}

TEST(MenuBar, MirrorsTheMenuTable) {
  EXPECT_EQ(outline(*build()), menu_outline(kMenuBar));
}

TEST(MenuBar, PutsCurrentIpsOnTheBarItselfLast) {
  const auto bar = build();
  const QAction* last = bar->actions().back();
  EXPECT_EQ(last->menu(), nullptr);
  EXPECT_EQ(last->text(), "Current &IPS");
  EXPECT_EQ(last, find_menu_action(*bar, kCmdCurrentIps));
}

TEST(MenuBar, FindsItemsByCommandIdOnly) {
  const auto bar = build();
  for (int id : {kCmdExit, kCmdGprWindow, kCmdPriorityLow, kCmdMemory, kCmdCurrentIps}) {
    const QAction* action = find_menu_action(*bar, id);
    ASSERT_NE(action, nullptr) << id;
    EXPECT_EQ(action->data().toInt(), id);
  }
  EXPECT_EQ(find_menu_action(*bar, 40002), nullptr);
  EXPECT_EQ(find_menu_action(*bar, 0), nullptr);  // separators and submenus carry no id
}

TEST(MenuBar, ChoosingAnItemReportsItsIdAndLeavesTheMarkToTheCommand) {
  std::vector<int> commands;
  const auto bar = build(&commands);
  QAction* show_count = find_menu_action(*bar, kCmdShowCount);
  QAction* normal = find_menu_action(*bar, kCmdPriorityNormal);
  show_count->trigger();
  normal->trigger();
  find_menu_action(*bar, kCmdOpenRom)->trigger();
  find_menu_action(*bar, kCmdStartCpu)->trigger();  // grayed: nothing happens
  find_menu_action(*bar, kCmdCurrentIps)->trigger();
  EXPECT_EQ(commands,
            (std::vector<int>{kCmdShowCount, kCmdPriorityNormal, kCmdOpenRom, kCmdCurrentIps}));
  EXPECT_FALSE(show_count->isChecked());
  EXPECT_TRUE(normal->isChecked());
}

}  // namespace
