#pragma once

#include <QAction>
#include <QMenuBar>
#include <functional>
#include <span>

#include "resources/menu.h"

using MenuCommandHandler = std::function<void(int id)>;

// Builds the menu bar from a menu table. Every item's action carries its command id and calls
// `on_command` with it. Check marks belong to the commands: choosing an item leaves its mark as
// it was, and the command sets it.
QMenuBar* build_menu_bar(std::span<const MenuEntry> entries, MenuCommandHandler on_command,
                         QWidget* parent = nullptr);

// The action of the item with command id `id` anywhere in `menu_bar`, or null.
QAction* find_menu_action(const QMenuBar& menu_bar, int id);
