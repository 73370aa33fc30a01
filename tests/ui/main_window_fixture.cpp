#include "tests/ui/main_window_fixture.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "platform/qt/menu_bar.h"
#include "platform/qt/template_dialog.h"
#include "tests/support/core_fixture.h"

void MainWindowTest::SetUp() {
  reset_all_state();
  window = std::make_unique<MainWindow>();
  window->resize(640, 480);
  window->show();
  // Message boxes run their own event loop, so a timer is what can press their OK button.
  QObject::connect(&box_dismisser_, &QTimer::timeout, [this] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      boxes.push_back({box->windowTitle(), box->text(), box->parentWidget()});
      box->button(QMessageBox::Ok)->click();
    }
  });
  box_dismisser_.start(5);
}

void MainWindowTest::TearDown() {
  window.reset();
  reset_all_state();
}

QAction& MainWindowTest::menu_item(int id) const {
  return *find_menu_action(*window->menuBar(), id);
}

bool MainWindowTest::wait_until(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, 5000);
}

std::vector<TemplateDialog*> MainWindowTest::open_windows(const QString& title) const {
  std::vector<TemplateDialog*> found;
  for (TemplateDialog* dialog : window->findChildren<TemplateDialog*>())
    if (dialog->isVisible() && dialog->windowTitle() == title) found.push_back(dialog);
  return found;
}

void MainWindowTest::with_modal_dialog(int id, const QString& title,
                                       const std::function<void(TemplateDialog&)>& act) {
  bool acted = false;
  QTimer actor;
  QObject::connect(&actor, &QTimer::timeout, [&] {
    if (acted) return;
    const std::vector<TemplateDialog*> dialogs = open_windows(title);
    if (dialogs.empty()) return;
    acted = true;
    act(*dialogs.front());
    // Left open, as a failed assertion in `act` leaves it, it would hang the test.
    if (dialogs.front()->isVisible()) {
      ADD_FAILURE() << title.toStdString() << " was left open";
      dialogs.front()->done(-2);
    }
  });
  actor.start(5);
  window->on_command(id);
  EXPECT_TRUE(acted) << title.toStdString();
}

QString sample_rom(const char* file_name) {
  return QStringLiteral(KORVEL_SAMPLES_DIR "/") + QLatin1String(file_name);
}

bool has_ink_in_rows(const QImage& image, int top, int bottom, QRgb background) {
  for (int y = top; y < bottom && y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background) return true;
  return false;
}
