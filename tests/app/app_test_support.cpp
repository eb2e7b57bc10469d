#include "tests/app/app_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include "app/startup.h"
#include "platform/gbk.h"
#include "platform/window/control.h"

namespace zorvane_test {

QString 界面(const std::string& gbk) { return platform::转界面文本(gbk); }
std::string 程序(const char* utf8) { return platform::Utf8ToGbk(utf8); }

void 已载入主窗口::SetUp() {
  准备应用程序(ZORVANE_PROGRAM_DIR);
  窗口 = 载入启动窗口();
  ASSERT_TRUE(窗口);
  ASSERT_TRUE(QTest::qWaitForWindowActive(窗口));
}

void 已载入主窗口::TearDown() { 退出清理(); }

void 已载入主窗口::处理延迟删除() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* 焦点部件() { return QApplication::focusWidget(); }

void 按键(Qt::Key 键, Qt::KeyboardModifiers 修饰) {
  QWidget* 焦点 = 焦点部件();
  ASSERT_NE(焦点, nullptr);
  QTest::keyClick(焦点, 键, 修饰);
}

void 键入(const QString& 文本) {
  for (const QChar 字 : 文本) {
    QWidget* 焦点 = 焦点部件();
    ASSERT_NE(焦点, nullptr);
    QKeyEvent 按下(QEvent::KeyPress, 0, Qt::NoModifier, QString(字));
    QApplication::sendEvent(焦点, &按下);
    QKeyEvent 松开(QEvent::KeyRelease, 0, Qt::NoModifier, QString(字));
    QApplication::sendEvent(焦点, &松开);
  }
}

消息框关闭器::消息框关闭器() {
  计时器_.setInterval(10);
  QObject::connect(&计时器_, &QTimer::timeout, [this] {
    for (QWidget* 部件 : QApplication::topLevelWidgets()) {
      auto* 框 = qobject_cast<QMessageBox*>(部件);
      if (框 == nullptr || !框->isVisible() || 框->property("zorvane_seen").toBool()) continue;
      框->setProperty("zorvane_seen", true);
      记录.push_back({框->windowTitle(), 框->text(), 框->icon(), 框->windowModality()});
      if (期间) 期间();
      框->button(QMessageBox::Ok)->click();
    }
  });
  计时器_.start();
}

}  // namespace zorvane_test
