// What only the Qt dialogs show: the Open ROM file dialog and the scrolling of the Commands
// window. The dialogs' contents are the shared cases' (tests/ui/shared).
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "memory/rom_image.h"
#include "platform/qt/template_dialog.h"
#include "resources/dialog_templates.h"
#include "resources/menu.h"
#include "tests/platform/qt_events.h"
#include "tests/support/rom_image.h"
#include "tests/ui/qt/main_window_fixture.h"

namespace {

using DialogsTest = MainWindowTest;

// Runs Open ROM, and `act` on its file dialog once it is up; `act` closes it. One left open, as a
// failed assertion in `act` leaves it, is cancelled: the test then fails instead of hanging.
void with_file_dialog(MainWindow& window, const std::function<void(QFileDialog&)>& act) {
  QTimer actor;
  QObject::connect(&actor, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(widget);
      if (!dialog || !dialog->isVisible()) continue;
      actor.stop();
      act(*dialog);
      if (dialog->isVisible()) {
        ADD_FAILURE() << "the file dialog was left open";
        dialog->reject();
      }
      return;
    }
  });
  actor.start(5);
  window.on_command(kCmdOpenRom);
}

// The names of the files the dialog lists in `folder`, sorted and joined by blanks, once it shows
// `expected_count` of them (it reads folders in the background).
std::string listed_files(QFileDialog& dialog, const QString& folder, int expected_count) {
  dialog.setDirectory(folder);
  auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
  if (!view) return "(no file list)";
  const auto rows = [&] { return view->model()->rowCount(view->rootIndex()); };
  serve_events_until([&] { return rows() >= expected_count; });
  QStringList names;
  for (int row = 0; row < rows(); ++row)
    names << view->model()->index(row, 0, view->rootIndex()).data().toString();
  names.sort();
  return names.join(' ').toStdString();
}

TEST_F(DialogsTest, OpenRomOffersTheRomFiltersAndLoadsTheChosenFile) {
  TempDir dir;
  for (const char* name : {"a.bin", "a.n64", "a.txt", "a.v64", "a.z64"}) dir.write(name, {});
  const QString folder = QString::fromStdString(dir.path().string());
  with_file_dialog(*window, [&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "N64 roms (*.v64,*.bin,*.n64");
    EXPECT_EQ(types->itemText(1), "All files (*.*)");
    EXPECT_EQ(types->currentIndex(), 0);
    // The native byte order is among the images, though its text does not say so.
    EXPECT_EQ(listed_files(dialog, folder, 4), "a.bin a.n64 a.v64 a.z64");
    dialog.reject();
  });
  EXPECT_EQ(title(), "Korvel");  // cancelled: nothing changes
  with_file_dialog(*window, [](QFileDialog& dialog) {
    // Typed as a user types it: selectFile leaves the name alone while the name field has the
    // focus, which the dialog takes whenever the window system activates it.
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(sample_rom_path("spin.v64"));
    static_cast<QDialog&>(dialog).accept();  // as its Open button does
  });
  EXPECT_EQ(title(), "Korvel - " + sample_rom_path("spin.v64"));
  EXPECT_EQ(rom.rom_loaded, 1);
}

TEST_F(DialogsTest, EachPageOfTheCommandsWindowShowsFromItsHeader) {
  window->open_rom(sample_rom_path("demo.z64"));
  window->on_command(kCmdCommandsWindow);
  const std::vector<TemplateDialog*> windows = driver->template_dialogs("Commands");
  ASSERT_EQ(windows.size(), 1u);
  TemplateDialog& commands = *windows.front();
  auto* listing = qobject_cast<QListWidget*>(commands.control(kIdListing));
  save_screenshot(commands, "commands-demo");
  QScrollBar& scroll = *listing->verticalScrollBar();
  for (int page_button : {kIdListingForward, kIdListingBack}) {
    listing->scrollToBottom();
    serve_events_until([&] { return scroll.value() > 0; });
    qobject_cast<QPushButton*>(commands.control(page_button))->click();
    serve_events_until([&] { return scroll.value() == 0; });
    EXPECT_EQ(listing->itemAt(QPoint(1, 1)), listing->item(0)) << page_button;
  }
}

}  // namespace
