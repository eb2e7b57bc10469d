// What the window tests share: the loaded main window, keys sent to the
// focused control, and message boxes that the test closes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "app/main_window.h"

namespace zorvane_test {

// A GBK text shown as UTF-16, and the other way round.
QString 界面(const std::string& gbk);
std::string 程序(const char* utf8);

// The main window loaded as the program loads it: process prepared for the
// built program's folder, created event (skin, database), shown, active.
class 已载入主窗口 : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Destroys what the event loop still owes deleting (a closed window).
  static void 处理延迟删除();

  QPointer<启动窗口> 窗口;
};

QWidget* 焦点部件();
// A key pressed and released in the focused control.
void 按键(Qt::Key 键, Qt::KeyboardModifiers 修饰 = Qt::NoModifier);
void 键入(const QString& 文本);

struct 消息框记录 {
  QString 标题;
  QString 文本;
  QMessageBox::Icon 图标;
  Qt::WindowModality 模态;
};

// Closes every message box that comes up while it lives, after noting it
// and running 期间 (if set) while the box is still up.
class 消息框关闭器 {
 public:
  消息框关闭器();
  std::vector<消息框记录> 记录;
  std::function<void()> 期间;

 private:
  QTimer 计时器_;
};

}  // namespace zorvane_test
