#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests at build time needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  // There is no main window here, so closing a message box would otherwise end the application
  // and with it every later dialog's event loop.
  app.setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
