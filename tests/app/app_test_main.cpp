// The test program of the window: Qt's offscreen platform, one application
// object for all tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

#include "platform/window/gui_start.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  // A death test runs in a fresh copy of this program, with its own Qt.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto 应用 = platform::启动图形界面(argc, argv);
  return RUN_ALL_TESTS();
}
