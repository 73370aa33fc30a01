#include "ui/qt/screen_window.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <optional>

#include "platform/desktop/desktop_host.h"

namespace {

struct QtScreenKey {
  int qt_key;
  bool keypad;
  ScreenKey key;
};
constexpr QtScreenKey kKeys[] = {
    {Qt::Key_Up, false, ScreenKey::stick_up},
    {Qt::Key_Down, false, ScreenKey::stick_down},
    {Qt::Key_Left, false, ScreenKey::stick_left},
    {Qt::Key_Right, false, ScreenKey::stick_right},
    {Qt::Key_I, false, ScreenKey::d_up},
    {Qt::Key_K, false, ScreenKey::d_down},
    {Qt::Key_J, false, ScreenKey::d_left},
    {Qt::Key_L, false, ScreenKey::d_right},
    {Qt::Key_X, false, ScreenKey::a},
    {Qt::Key_C, false, ScreenKey::b},
    {Qt::Key_Z, false, ScreenKey::z},
    {Qt::Key_A, false, ScreenKey::l},
    {Qt::Key_S, false, ScreenKey::r},
    {Qt::Key_Return, false, ScreenKey::start},
    {Qt::Key_Enter, true, ScreenKey::start},
    {Qt::Key_8, true, ScreenKey::c_up},
    {Qt::Key_2, true, ScreenKey::c_down},
    {Qt::Key_4, true, ScreenKey::c_left},
    {Qt::Key_6, true, ScreenKey::c_right},
    {Qt::Key_Tab, false, ScreenKey::full_speed},
};

std::optional<ScreenKey> screen_key(const QKeyEvent& event) {
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  for (const QtScreenKey& key : kKeys)
    if (key.qt_key == event.key() && (key.keypad == keypad || !key.keypad)) return key.key;
  return std::nullopt;
}

constexpr int kLogPollMilliseconds = 100;

}  // namespace

ScreenWindow::ScreenWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Screen"));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(640, 480);
  connect(&refresh_, &QTimer::timeout, this, [this] {
    // Closed, it asks the run thread for nothing.
    if (isVisible() && view_.refresh()) update();
    if (refresh_.interval() != ScreenView::refresh_milliseconds())
      refresh_.setInterval(ScreenView::refresh_milliseconds());
  });
  refresh_.start(ScreenView::refresh_milliseconds());
}

void ScreenWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const VideoPicture& picture = view_.picture();
  if (picture.empty()) return;
  const QImage image(picture.rgb.data(), static_cast<int>(picture.width),
                     static_cast<int>(picture.height), static_cast<qsizetype>(picture.width * 3),
                     QImage::Format_RGB888);
  const PicturePlacement at = place_picture(picture.width, picture.height, width(), height());
  painter.drawImage(QRect(at.x, at.y, at.width, at.height), image);
}

bool ScreenWindow::key_changed(QKeyEvent* event, bool down) {
  const std::optional<ScreenKey> key = screen_key(*event);
  if (!key) return false;
  if (!event->isAutoRepeat()) view_.key(*key, down);
  return true;
}

void ScreenWindow::keyPressEvent(QKeyEvent* event) {
  if (!key_changed(event, true)) QWidget::keyPressEvent(event);
}

void ScreenWindow::keyReleaseEvent(QKeyEvent* event) {
  if (!key_changed(event, false)) QWidget::keyReleaseEvent(event);
}

void ScreenWindow::focusOutEvent(QFocusEvent* event) {
  view_.release_keys();
  QWidget::focusOutEvent(event);
}

LogWindow::LogWindow(DesktopHost& host, QWidget* parent) : QPlainTextEdit(parent), host_(host) {
  setWindowFlag(Qt::Window);
  setWindowTitle(QStringLiteral("Log"));
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  resize(480, 480);
  connect(&poll_, &QTimer::timeout, this, [this] { take_new_text(); });
  poll_.start(kLogPollMilliseconds);
}

void LogWindow::take_new_text() {
  const std::string text = host_.take_program_text();
  if (text.empty()) return;
  lines_.append(text);
  setPlainText(QString::fromUtf8(lines_.text()));
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
