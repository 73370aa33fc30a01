#include "platform/qt/menu_bar.h"

#include <QMenu>
#include <memory>

namespace {

using SharedHandler = std::shared_ptr<const MenuCommandHandler>;

QAction* make_item(const MenuEntry& entry, const SharedHandler& on_command, QWidget* owner) {
  auto* action = new QAction(QString::fromLatin1(entry.text), owner);
  action->setData(entry.id);
  action->setEnabled(!entry.grayed);
  if (entry.check != CheckMark::kNone) {
    action->setCheckable(true);
    action->setChecked(entry.check == CheckMark::kSet);
  }
  QObject::connect(action, &QAction::triggered, action, [action, on_command, id = entry.id] {
    // Qt has already flipped the mark; put it back so the command reads it as the user saw it.
    if (action->isCheckable()) action->setChecked(!action->isChecked());
    (*on_command)(id);
  });
  return action;
}

// Menus and the bar itself both show the actions added to them.
void add_entries(QWidget& container, std::span<const MenuEntry> entries,
                 const SharedHandler& on_command) {
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuEntryKind::kSubmenu: {
        auto* menu = new QMenu(QString::fromLatin1(entry.text), &container);
        add_entries(*menu, entry.submenu(), on_command);
        container.addAction(menu->menuAction());
        break;
      }
      case MenuEntryKind::kSeparator: {
        auto* separator = new QAction(&container);
        separator->setSeparator(true);
        container.addAction(separator);
        break;
      }
      case MenuEntryKind::kItem:
        container.addAction(make_item(entry, on_command, &container));
        break;
    }
  }
}

}  // namespace

QMenuBar* build_menu_bar(std::span<const MenuEntry> entries, MenuCommandHandler on_command,
                         QWidget* parent) {
  auto* menu_bar = new QMenuBar(parent);
  add_entries(*menu_bar, entries,
              std::make_shared<const MenuCommandHandler>(std::move(on_command)));
  return menu_bar;
}

QAction* find_menu_action(const QMenuBar& menu_bar, int id) {
  for (QAction* action : menu_bar.findChildren<QAction*>()) {
    const QVariant data = action->data();
    if (data.isValid() && data.toInt() == id) return action;
  }
  return nullptr;
}
