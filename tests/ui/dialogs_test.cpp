// The windows the menu opens: the Open ROM file dialog, the Commands window, ROM Info and About.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "memory/rom_image.h"
#include "platform/qt/template_dialog.h"
#include "resources/dialog_templates.h"
#include "resources/menu.h"
#include "tests/support/rom_image.h"
#include "tests/ui/main_window_fixture.h"

namespace {

using DialogsTest = MainWindowTest;

QString field(const TemplateDialog& dialog, int id) {
  return qobject_cast<QLineEdit*>(dialog.control(id))->text();
}

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
// `expected_count` of them or five seconds have passed (it reads folders in the background).
std::string listed_files(QFileDialog& dialog, const QString& folder, int expected_count) {
  dialog.setDirectory(folder);
  auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
  if (!view) return "(no file list)";
  const auto rows = [&] { return view->model()->rowCount(view->rootIndex()); };
  static_cast<void>(QTest::qWaitFor([&] { return rows() >= expected_count; }));
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
    dialog.selectFile(sample_rom("spin.v64"));
    static_cast<QDialog&>(dialog).accept();  // as its Open button does
  });
  EXPECT_EQ(title(), "Korvel - " + sample_rom("spin.v64"));
  EXPECT_EQ(rom.rom_loaded, 1);
}

TEST_F(DialogsTest, CommandsWindowListsTheDemoAndOnlyOkClosesIt) {
  window->open_rom(sample_rom("demo.z64"));
  window->on_command(kCmdCommandsWindow);
  const std::vector<TemplateDialog*> windows = open_windows("Commands");
  ASSERT_EQ(windows.size(), 1u);
  QPointer<TemplateDialog> commands = windows.front();
  auto* listing = qobject_cast<QListWidget*>(commands->control(kIdListing));
  ASSERT_EQ(listing->count(), 257);
  EXPECT_EQ(listing->item(0)->text(), "PC         Opcode     Instruction");
  EXPECT_EQ(listing->item(1)->text(), "04000040   2408000A   ADDIU t0,r0,a");
  EXPECT_EQ(field(*commands, kIdListingPc), "4000040");
  save_screenshot(*commands, "commands-demo");
  // Each new page shows from its header, wherever the last one was scrolled to.
  QScrollBar& scroll = *listing->verticalScrollBar();
  for (int page_button : {kIdListingForward, kIdListingBack}) {
    listing->scrollToBottom();
    ASSERT_TRUE(QTest::qWaitFor([&] { return scroll.value() > 0; }));
    qobject_cast<QPushButton*>(commands->control(page_button))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return scroll.value() == 0; })) << page_button;
    EXPECT_EQ(listing->itemAt(QPoint(1, 1)), listing->item(0)) << page_button;
  }
  QTest::keyClick(commands, Qt::Key_Escape);
  EXPECT_TRUE(commands->isVisible());
  qobject_cast<QPushButton*>(commands->control(kIdOk))->click();
  EXPECT_TRUE(wait_until([&] { return commands.isNull(); }));
}

TEST_F(DialogsTest, RomInfoShowsTheNameAndManufacturerAsTheyStand) {
  struct Fields {
    QString name;
    QString manufacturer;
  };
  auto read_rom_info = [this](const char* screenshot) {
    Fields fields;
    with_modal_dialog(kCmdRomInfo, "ROM Info", [&](TemplateDialog& dialog) {
      fields = {field(dialog, kIdRomName), field(dialog, kIdRomManufacturer)};
      if (screenshot) save_screenshot(dialog, screenshot);
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    return fields;
  };
  Fields before = read_rom_info(nullptr);
  EXPECT_EQ(before.name, "");
  EXPECT_EQ(before.manufacturer, "");
  window->open_rom(sample_rom("demo.z64"));
  Fields loaded = read_rom_info("rom-info-demo");
  EXPECT_EQ(loaded.name, "KORVEL DEMO         ");
  EXPECT_EQ(loaded.manufacturer, "Unknown: 4b");
  window->on_command(kCmdCloseRom);
  // Close ROM forgets the name but not the manufacturer.
  Fields closed = read_rom_info(nullptr);
  EXPECT_EQ(closed.name, "");
  EXPECT_EQ(closed.manufacturer, "Unknown: 4b");
}

TEST_F(DialogsTest, AboutShowsTheVersionAndPictureAndClosesOnEscape) {
  with_modal_dialog(kCmdAbout, "About Korvel", [](TemplateDialog& dialog) {
    EXPECT_EQ(qobject_cast<QLabel*>(dialog.control(kIdAboutTitle))->text(),
              "Korvel " KORVEL_VERSION);
    bool picture = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
      picture |= !label->pixmap().isNull() && label->pixmap().width() == 361;
    EXPECT_TRUE(picture);
    save_screenshot(dialog, "about");
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_TRUE(open_windows("About Korvel").empty());
}

}  // namespace
