#include "tests/ui/qt/main_window_fixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "debugger/debugger_state.h"
#include "platform/qt/menu_bar.h"
#include "platform/qt/template_dialog.h"
#include "resources/dialog_templates.h"
#include "tests/platform/qt_events.h"
#include "ui/qt/status_area.h"

namespace {

class QtDialogProbe final : public DialogProbe {
 public:
  explicit QtDialogProbe(TemplateDialog& dialog) : dialog_(dialog) {}

  std::string text(int id) override {
    QWidget* control = dialog_.control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text().toStdString();
    return "(no such text)";
  }
  std::vector<std::string> lines(int id) override {
    std::vector<std::string> lines;
    if (auto* list = qobject_cast<QListWidget*>(dialog_.control(id)))
      for (int row = 0; row < list->count(); ++row)
        lines.push_back(list->item(row)->text().toStdString());
    return lines;
  }
  std::set<int> advances(int id) override {
    std::set<int> widths;
    if (auto* list = qobject_cast<QListWidget*>(dialog_.control(id))) {
      const QFontMetrics metrics(list->font());
      for (int row = 0; row < list->count(); ++row)
        for (QChar c : list->item(row)->text()) widths.insert(metrics.horizontalAdvance(c));
    }
    return widths;
  }
  std::vector<std::string> texts_wider_than_their_labels() override {
    std::vector<std::string> texts;
    for (QLabel* label : dialog_.findChildren<QLabel*>())
      if (QFontMetrics(label->font()).horizontalAdvance(label->text()) >
          label->contentsRect().width())
        texts.push_back(label->text().toStdString());
    return texts;
  }
  int picture_width() override {
    for (QLabel* label : dialog_.findChildren<QLabel*>())
      if (!label->pixmap().isNull()) return label->pixmap().width();
    return 0;
  }
  void press(int id) override {
    if (id == kIdCancel) {
      QTest::keyClick(&dialog_, Qt::Key_Escape);
    } else {
      qobject_cast<QPushButton*>(dialog_.control(id))->click();
    }
  }

 private:
  TemplateDialog& dialog_;
};

}  // namespace

QtDesktopDriver::QtDesktopDriver() : window_(std::make_unique<MainWindow>()) {
  window_->commands().use_measurement_clock(clock);
  window_->resize(640, 480);
  window_->show();
  QObject::connect(window_.get(), &MainWindow::closed, [this] { closed_ = true; });
  // Message boxes run their own event loop, so a timer is what can press their OK button.
  QObject::connect(&box_dismisser_, &QTimer::timeout, [this] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      boxes_.push_back({box->windowTitle().toStdString(), box->text().toStdString(),
                        box->parentWidget() == window_.get()});
      box->button(QMessageBox::Ok)->click();
    }
  });
  box_dismisser_.start(5);
}

// The window first, while the box dismisser still runs: closing it ends a run that may still be
// waiting for a message box.
QtDesktopDriver::~QtDesktopDriver() {
  window_.reset();
}

QAction& QtDesktopDriver::menu_item(int id) const {
  return *find_menu_action(*window_->menuBar(), id);
}

void QtDesktopDriver::open_rom(const std::string& path) {
  window_->open_rom(QString::fromStdString(path));
}

bool QtDesktopDriver::drop_file(const std::string& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &drop);
  return true;
}

bool QtDesktopDriver::is_checked(int id) {
  return menu_item(id).isChecked();
}

bool QtDesktopDriver::is_enabled(int id) {
  return menu_item(id).isEnabled();
}

std::vector<StatusLine> QtDesktopDriver::status_lines() {
  return window_->status_area().lines();
}

void QtDesktopDriver::paint() {
  window_->status_area().grab();
}

void QtDesktopDriver::wait_until(const std::function<bool()>& done) {
  serve_events_until(done);
}

bool QtDesktopDriver::screen_open() {
  return window_->screen_window() && window_->screen_window()->isVisible();
}

VideoPicture QtDesktopDriver::screen_picture() {
  return window_->screen_window() ? window_->screen_window()->picture() : VideoPicture{};
}

void QtDesktopDriver::screen_key(ScreenKey key, bool down) {
  ScreenWindow* screen = window_->screen_window();
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(key == ScreenKey::full_speed || key == ScreenKey::d_right);
  const Qt::Key qt_key = key == ScreenKey::full_speed ? Qt::Key_Tab : Qt::Key_L;
  if (down) {
    QTest::keyPress(screen, qt_key);
  } else {
    QTest::keyRelease(screen, qt_key);
  }
}

std::string QtDesktopDriver::log_text() {
  return window_->log_window() ? window_->log_window()->toPlainText().toStdString() : "";
}

std::vector<TemplateDialog*> QtDesktopDriver::template_dialogs(const QString& title) const {
  std::vector<TemplateDialog*> found;
  for (TemplateDialog* dialog : window_->findChildren<TemplateDialog*>())
    if (dialog->isVisible() && dialog->windowTitle() == title) found.push_back(dialog);
  return found;
}

bool QtDesktopDriver::with_modal_dialog(int id, const std::string& title,
                                        const std::function<void(DialogProbe&)>& act) {
  bool acted = false;
  QTimer actor;
  QObject::connect(&actor, &QTimer::timeout, [&] {
    if (acted) return;
    const std::vector<TemplateDialog*> dialogs = template_dialogs(QString::fromStdString(title));
    if (dialogs.empty()) return;
    acted = true;
    QtDialogProbe probe(*dialogs.front());
    act(probe);
    // Left open, as a failed assertion in `act` leaves it, it would hang the test.
    if (dialogs.front()->isVisible()) {
      ADD_FAILURE() << title << " was left open";
      dialogs.front()->done(-2);
    }
  });
  actor.start(5);
  command(id);
  return acted;
}

int QtDesktopDriver::open_windows(const std::string& title) {
  return static_cast<int>(template_dialogs(QString::fromStdString(title)).size());
}

std::unique_ptr<DialogProbe> QtDesktopDriver::newest_window(const std::string& title) {
  const std::vector<TemplateDialog*> dialogs = template_dialogs(QString::fromStdString(title));
  if (dialogs.empty()) return nullptr;
  return std::make_unique<QtDialogProbe>(*dialogs.back());
}

void MainWindowTest::SetUp() {
  reset_all_state();
  driver = std::make_unique<QtDesktopDriver>();
  window = &driver->window();
}

void MainWindowTest::TearDown() {
  driver.reset();
  reset_all_state();
}

QString sample_rom_path(const char* file_name) {
  return QString::fromStdString(sample_rom(file_name));
}

bool has_ink_in_rows(const QImage& image, int top, int bottom, QRgb background) {
  for (int y = top; y < bottom && y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background) return true;
  return false;
}
