#include "platform/qt/qt_host.h"

#include <QMenuBar>
#include <QMessageBox>
#include <QThread>

#include "platform/qt/host_text.h"

QtHost::QtHost(QMainWindow& main_window) : main_window_(main_window) {}

bool QtHost::on_window_thread() const {
  return QThread::currentThread() == thread();
}

template <typename Work>
void QtHost::run_on_window_thread(Work work) {
  if (on_window_thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
  }
}

void QtHost::message_box(const char* caption, const char* text) {
  if (on_window_thread()) {
    show_message_box(from_host_text(caption), from_host_text(text));
    return;
  }
  // A queued call: the window thread can also serve the box from serve_pending_requests while it
  // waits for this thread.
  post_message_box(caption, text, [this] {
    QMetaObject::invokeMethod(
        this, [this] { serve_pending_requests(); }, Qt::QueuedConnection);
  });
}

void QtHost::serve_pending_requests() {
  serve_message_boxes([this](const std::string& caption, const std::string& text) {
    show_message_box(from_host_text(caption.c_str()), from_host_text(text.c_str()));
  });
}

void QtHost::show_message_box(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, &main_window_);
  box.exec();
}

void QtHost::set_title(const char* text) {
  run_on_window_thread(
      [this, title = from_host_text(text)] { main_window_.setWindowTitle(title); });
}
