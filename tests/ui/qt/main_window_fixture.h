#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/screenshot.h"
#include "tests/ui/shared/desktop_driver.h"
#include "ui/qt/main_window.h"

class QAction;
class QImage;
class TemplateDialog;

// The Qt main window, shown, as the shared desktop cases drive it and the Qt-only tests use it.
class QtDesktopDriver final : public DesktopDriver {
 public:
  QtDesktopDriver();
  ~QtDesktopDriver() override;

  MainWindow& window() const { return *window_; }
  QAction& menu_item(int id) const;
  // The visible template dialogs titled `title`, oldest first.
  std::vector<TemplateDialog*> template_dialogs(const QString& title) const;

  void command(int id) override { window_->on_command(id); }
  void open_rom(const std::string& path) override;
  bool drop_file(const std::string& path) override;
  void close() override { window_->close(); }
  std::string title() override { return window_->windowTitle().toStdString(); }
  bool has_icon() override { return !window_->windowIcon().isNull(); }
  bool is_checked(int id) override;
  bool is_enabled(int id) override;
  bool is_open() override { return window_->isVisible() && !closed_; }
  std::vector<StatusLine> status_lines() override;
  void paint() override;
  const std::vector<ShownBox>& boxes() override { return boxes_; }
  void wait_until(const std::function<bool()>& done) override;
  bool with_modal_dialog(int id, const std::string& title,
                         const std::function<void(DialogProbe&)>& act) override;
  int open_windows(const std::string& title) override;
  std::unique_ptr<DialogProbe> newest_window(const std::string& title) override;
  bool screen_open() override;
  VideoPicture screen_picture() override;
  void screen_key(ScreenKey key, bool down) override;
  std::string log_text() override;
  DesktopCommands& commands() override { return window_->commands(); }

 private:
  std::unique_ptr<MainWindow> window_;
  std::vector<ShownBox> boxes_;
  QTimer box_dismisser_;
  bool closed_ = false;
};

// A fresh program state and a shown main window for every Qt-only test.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString title() const { return window->windowTitle(); }

  std::unique_ptr<QtDesktopDriver> driver;
  MainWindow* window = nullptr;
};

// A sample ROM built from assembly.
QString sample_rom_path(const char* file_name);

// Whether `image` has a pixel other than `background` in rows [top, bottom).
bool has_ink_in_rows(const QImage& image, int top, int bottom, QRgb background);
