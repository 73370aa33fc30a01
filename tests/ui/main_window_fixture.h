#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/screenshot.h"
#include "ui/qt/main_window.h"

class QAction;
class TemplateDialog;

// A fresh program state and a shown main window, the core's host, for every test. Message boxes
// are recorded and dismissed as soon as they are up.
class MainWindowTest : public ::testing::Test {
 protected:
  struct ShownBox {
    QString caption;
    QString text;
    QWidget* owner;
  };

  void SetUp() override;
  void TearDown() override;

  QAction& menu_item(int id) const;
  QString title() const { return window->windowTitle(); }
  // Waits (serving events) until `done` holds; false after five seconds.
  bool wait_until(const std::function<bool()>& done);

  // Runs the modal command `id`, and `act` on the template dialog titled `title` once it is up.
  void with_modal_dialog(int id, const QString& title,
                         const std::function<void(TemplateDialog&)>& act);
  // The visible template dialogs titled `title`, oldest first.
  std::vector<TemplateDialog*> open_windows(const QString& title) const;

  std::unique_ptr<MainWindow> window;
  std::vector<ShownBox> boxes;

 private:
  QTimer box_dismisser_;
};

// A sample ROM built from assembly.
QString sample_rom(const char* file_name);

// Whether `image` has a pixel other than `background` in rows [top, bottom).
bool has_ink_in_rows(const QImage& image, int top, int bottom, QRgb background);
