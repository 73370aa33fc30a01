#include "platform/qt/qt_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "platform/qt/menu_bar.h"
#include "tests/platform/qt_events.h"

namespace {

struct ShownBox {
  QString caption;
  QString text;
  bool on_window_thread;
  QWidget* owner;
  bool caller_still_waiting;
};

class QtHostTest : public ::testing::Test {
 protected:
  QtHostTest() {
    window.setMenuBar(build_menu_bar(kMenuBar, [](int) {}));
    // Message boxes run their own event loop, so a timer is what can press their OK button.
    connect_dismisser();
  }

  void connect_dismisser() {
    QObject::connect(&dismisser, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;
        shown.push_back({box->windowTitle(), box->text(),
                         QThread::currentThread() == window.thread(), box->parentWidget(),
                         !caller_returned});
        box->button(QMessageBox::Ok)->click();
      }
    });
    dismisser.start(5);
  }

  // Joins a thread that called message_box. Should the box never have been shown, the caller is
  // still waiting: giving up the host releases it, so the test fails instead of hanging.
  void join(std::thread& caller) {
    if (!caller_returned) host.reset();
    caller.join();
  }

  QMainWindow window;
  std::unique_ptr<QtHost> host = std::make_unique<QtHost>(window);
  QTimer dismisser;
  std::vector<ShownBox> shown;
  std::atomic<bool> caller_returned{false};
};

TEST_F(QtHostTest, MessageBoxOnTheWindowThreadIsShownAtOnce) {
  host->message_box("ROM", "Not a ROM image");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "ROM");
  EXPECT_EQ(shown[0].text, "Not a ROM image");
  EXPECT_EQ(shown[0].owner, &window);
}

TEST_F(QtHostTest, MessageBoxFromAnotherThreadBlocksItUntilDismissed) {
  std::thread run_thread([this] {
    host->message_box("Memory Error: Read", "Unhandled address");
    caller_returned = true;
  });
  serve_events_until([this] { return caller_returned.load(); });
  join(run_thread);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Memory Error: Read");
  EXPECT_EQ(shown[0].text, "Unhandled address");
  EXPECT_TRUE(shown[0].on_window_thread);
  EXPECT_EQ(shown[0].owner, &window);
  EXPECT_TRUE(shown[0].caller_still_waiting);
}

// The window thread waits for the run thread without returning to its event loop, as it does
// while it stops a run; the run thread's message box must still be shown.
TEST_F(QtHostTest, ServingPendingRequestsShowsThemWhileTheWindowThreadWaits) {
  std::thread run_thread([this] {
    host->message_box("Breakpoint Encountered", "Stopped");
    caller_returned = true;
  });
  // Woken as the box is posted, as the window thread is while it waits for the run thread.
  window_thread_wake().wait_until([this] { return !shown.empty(); },
                                  [this] { host->serve_pending_requests(); });
  join(run_thread);
  EXPECT_TRUE(caller_returned);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Breakpoint Encountered");
}

TEST_F(QtHostTest, TitleFromAnotherThreadReachesTheWindow) {
  std::thread run_thread([this] { host->set_title("Korvel - GAME - Running"); });
  run_thread.join();
  serve_events_until([&] { return window.windowTitle() == "Korvel - GAME - Running"; });
}

TEST_F(QtHostTest, TitleOnTheWindowThreadTakesEffectAtOnce) {
  host->set_title("Korvel");
  EXPECT_EQ(window.windowTitle(), "Korvel");
}

}  // namespace
