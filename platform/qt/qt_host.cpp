#include "platform/qt/qt_host.h"

#include <QMenuBar>
#include <QMessageBox>
#include <QThread>

#include "platform/qt/host_text.h"

QtHost::QtHost(QMainWindow& main_window) : main_window_(main_window) {}

QtHost::~QtHost() {
  std::lock_guard lock(mutex_);
  for (MessageRequest& request : pending_) request.dismissed.set_value();
}

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
  // A queued call and a future rather than a blocking queued connection: the wait stays visible
  // to ThreadSanitizer, and the window thread can serve the request from serve_pending_requests
  // while it waits for this thread.
  std::future<void> dismissed;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back({from_host_text(caption), from_host_text(text), {}});
    dismissed = pending_.back().dismissed.get_future();
  }
  QMetaObject::invokeMethod(
      this, [this] { serve_pending_requests(); }, Qt::QueuedConnection);
  dismissed.wait();
}

void QtHost::serve_pending_requests() {
  for (;;) {
    MessageRequest request;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      request = std::move(pending_.front());
      pending_.pop_front();
    }
    show_message_box(request.caption, request.text);
    request.dismissed.set_value();
  }
}

void QtHost::show_message_box(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, &main_window_);
  box.exec();
}

void QtHost::set_title(const char* text) {
  run_on_window_thread(
      [this, title = from_host_text(text)] { main_window_.setWindowTitle(title); });
}
