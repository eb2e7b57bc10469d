// The main window as described: layout and settings, the Tab cycle, the
// window-level keys and where the focus goes.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "app/startup.h"
#include "app/web_domain.h"
#include "platform/window/window.h"
#include "tests/app/app_test_support.h"

namespace zorvane_test {
namespace {

using 主窗口 = 已载入主窗口;

struct 布局 {
  const char* 名称;
  QRect 位置;
  bool 停留;
};

TEST_F(主窗口, ControlsSitWhereTheDescriptionPutsThem) {
  启动窗口& 窗 = *窗口;
  const std::vector<std::pair<platform::控件*, 布局>> 表 = {
      {窗.超级按钮更新, {"超级按钮更新", QRect(202, 96, 73, 25), true}},
      {窗.超级按钮链接, {"超级按钮链接", QRect(16, 95, 122, 25), true}},
      {窗.编辑框结果, {"编辑框结果", QRect(12, 35, 268, 82), true}},
      {窗.标签手机号码, {"标签手机号码", QRect(12, 9, 61, 18), false}},
      {窗.超级按钮查询, {"超级按钮查询", QRect(217, 8, 58, 22), true}},
      {窗.编辑框手机号, {"编辑框手机号", QRect(83, 6, 123, 24), true}},
      {窗.按钮1, {"按钮1", QRect(480, 40, 128, 40), true}},
  };
  for (const auto& [控件, 期望] : 表) {
    SCOPED_TRACE(期望.名称);
    EXPECT_EQ(控件->部件().geometry(), 期望.位置);
    EXPECT_TRUE(控件->部件().isVisible());
    EXPECT_TRUE(控件->部件().isEnabled());
    EXPECT_EQ(控件->停留, 期望.停留);
  }
  // The link buttons lie above the result box they overlap.
  const QList<QObject*> 层次 = 窗.children();
  EXPECT_GT(层次.indexOf(&窗.超级按钮更新->部件()), 层次.indexOf(&窗.编辑框结果->部件()));
  EXPECT_GT(层次.indexOf(&窗.超级按钮链接->部件()), 层次.indexOf(&窗.编辑框结果->部件()));
  // 按钮1 lies wholly right of the client area.
  EXPECT_GT(窗.按钮1->部件().geometry().left(), 窗.width());
}

TEST_F(主窗口, WindowIsFixedCentredAndHasOnlyTheCloseBox) {
  const QSize 客户区(293 - 2 * platform::kFrameBorder,
                     149 - platform::kCaptionHeight - 2 * platform::kFrameBorder);
  EXPECT_EQ(窗口->size(), 客户区);
  EXPECT_EQ(窗口->minimumSize(), 客户区);
  EXPECT_EQ(窗口->maximumSize(), 客户区);
  const Qt::WindowFlags 标志 = 窗口->windowFlags();
  EXPECT_TRUE(标志 & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(标志 & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(标志 & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(标志 & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(窗口->windowTitle(), QStringLiteral("Zorvane-" ZORVANE_WEB_DOMAIN));
  const QRect 屏幕 = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(窗口->pos(), QPoint((屏幕.width() - 293) / 2, (屏幕.height() - 149) / 2));
  const QList<QSize> 图标尺寸 = 窗口->windowIcon().availableSizes();
  EXPECT_TRUE(图标尺寸.contains(QSize(32, 32)));
  EXPECT_TRUE(图标尺寸.contains(QSize(16, 16)));
}

TEST(居中位置, TruncatesTowardZeroOnTheWholeScreen) {
  EXPECT_EQ(platform::居中位置(1024, 768, 293, 149).左, 365);
  EXPECT_EQ(platform::居中位置(1024, 768, 293, 149).顶, 309);
  EXPECT_EQ(platform::居中位置(200, 100, 293, 149).左, -46);  // -93 / 2
  EXPECT_EQ(platform::居中位置(200, 100, 293, 149).顶, -24);  // -49 / 2
}

TEST_F(主窗口, TextsColoursAndFontsSurviveTheSkin) {
  ASSERT_FALSE(qApp->styleSheet().isEmpty()) << "the skin was not applied";
  启动窗口& 窗 = *窗口;
  const QColor 按钮表面 = QApplication::palette().color(QPalette::Button);

  auto& 号码框 = static_cast<QLineEdit&>(窗.编辑框手机号->部件());
  EXPECT_EQ(号码框.palette().color(QPalette::Text), QColor(0, 0, 128));
  EXPECT_EQ(号码框.palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(号码框.font().pixelSize(), 12);
  EXPECT_EQ(号码框.font().family(), QStringLiteral("微软雅黑"));
  EXPECT_TRUE(号码框.text().isEmpty());

  auto& 结果框 = static_cast<QPlainTextEdit&>(窗.编辑框结果->部件());
  EXPECT_EQ(结果框.palette().color(QPalette::Text), QColor(0, 128, 0));
  EXPECT_EQ(结果框.palette().color(QPalette::Base), 按钮表面);
  EXPECT_EQ(结果框.font().pixelSize(), 14);
  EXPECT_EQ(结果框.frameShape(), QFrame::NoFrame);
  EXPECT_TRUE(结果框.isReadOnly());
  EXPECT_EQ(结果框.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(结果框.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(结果框.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(
      结果框.toPlainText(),
      QStringLiteral("    欢迎登录 -朔禾工作室- "
                     "实用软件，专业定制软件，我们的宗旨是：『打造属于客户自己的软件平台！』"));
  EXPECT_EQ(结果框.textCursor().position(), 0);
  // The selection disappears while the box has no focus.
  EXPECT_EQ(结果框.palette().color(QPalette::Inactive, QPalette::Highlight), 按钮表面);

  auto& 标签 = static_cast<QLabel&>(窗.标签手机号码->部件());
  EXPECT_EQ(标签.text(), QStringLiteral("手机号码："));
  EXPECT_EQ(标签.palette().color(标签.foregroundRole()), QColor(128, 0, 0));
  EXPECT_EQ(标签.palette().color(标签.backgroundRole()), 按钮表面);
  EXPECT_EQ(标签.font().pixelSize(), 12);

  struct 按钮期望 {
    platform::超级按钮* 按钮;
    QString 标题;
    QString 提示;
    int 字高;
  };
  for (const auto& [按钮, 标题, 提示, 字高] : {
           按钮期望{窗.超级按钮更新, QStringLiteral("数据库更新"),
                    QStringLiteral("下载最新版数据库"), 14},
           按钮期望{窗.超级按钮链接, QStringLiteral(ZORVANE_WEB_DOMAIN),
                    QStringLiteral("欢迎支持朔禾科技"), 14},
           按钮期望{窗.超级按钮查询, QStringLiteral("点击查询"), QStringLiteral("查询归属地信息"),
                    12},
       }) {
    SCOPED_TRACE(标题.toStdString());
    auto& 部件 = static_cast<QAbstractButton&>(按钮->部件());
    EXPECT_EQ(部件.text(), 标题);
    EXPECT_EQ(部件.toolTip(), 提示);
    EXPECT_EQ(部件.accessibleDescription(), 提示);
    EXPECT_EQ(部件.font().pixelSize(), 字高);
    EXPECT_FALSE(按钮->是默认按钮());
  }
  EXPECT_EQ(static_cast<QAbstractButton&>(窗.按钮1->部件()).text(), QStringLiteral("按钮"));
  EXPECT_FALSE(窗.编辑框手机号->部件().accessibleName().isEmpty());
  EXPECT_FALSE(窗.编辑框结果->部件().accessibleName().isEmpty());
}

// A flat button draws no frame and changes no colour when pressed; only its
// caption moves one pixel right and down.
TEST_F(主窗口, FlatButtonShiftsItsCaptionWhilePressed) {
  auto& 按钮 = static_cast<QAbstractButton&>(窗口->超级按钮查询->部件());
  const QImage 松开 = 按钮.grab().toImage();
  按钮.setDown(true);
  const QImage 按下 = 按钮.grab().toImage();
  按钮.setDown(false);
  const QColor 背景 = QApplication::palette().color(QPalette::Button);
  // Border pixels keep the background colour in both states.
  for (const QImage& 图 : {松开, 按下}) {
    EXPECT_EQ(QColor(图.pixel(0, 0)), 背景);
    EXPECT_EQ(QColor(图.pixel(图.width() - 1, 图.height() - 1)), 背景);
  }
  const QImage 移回 = 按下.copy(1, 1, 按下.width() - 1, 按下.height() - 1);
  EXPECT_EQ(移回, 松开.copy(0, 0, 松开.width() - 1, 松开.height() - 1));
  EXPECT_NE(按下, 松开);
}

TEST_F(主窗口, ResultBoxFollowsTheCaretWithoutScrollBars) {
  for (int 行 = 0; 行 < 20; ++行) 窗口->追加结果框文本(程序("一行结果\r\n"));
  auto& 结果框 = static_cast<QPlainTextEdit&>(窗口->编辑框结果->部件());
  const QScrollBar* 滚动条 = 结果框.verticalScrollBar();
  EXPECT_GT(滚动条->maximum(), 0);
  EXPECT_EQ(滚动条->value(), 滚动条->maximum());
  EXPECT_FALSE(滚动条->isVisible());
}

TEST(提示文本, WrapsOnlyBeyond400Pixels) {
  const QFont 字体 = QApplication::font();
  EXPECT_EQ(platform::提示文本(程序("欢迎支持朔禾科技"), 字体), QStringLiteral("欢迎支持朔禾科技"));
  const std::string 长提示(200, 'x');
  const QString 包装 = platform::提示文本(长提示, 字体);
  EXPECT_TRUE(包装.contains(QStringLiteral("width=\"400\"")));
  EXPECT_TRUE(包装.contains(QString::fromStdString(长提示)));
}

TEST_F(主窗口, FocusStartsInTheNumberBox) { EXPECT_EQ(焦点部件(), &窗口->编辑框手机号->部件()); }

TEST_F(主窗口, TabCyclesAgainstDescriptionOrderBothWays) {
  启动窗口& 窗 = *窗口;
  const std::vector<QWidget*> 向前 = {&窗.超级按钮查询->部件(), &窗.编辑框结果->部件(),
                                      &窗.超级按钮链接->部件(), &窗.超级按钮更新->部件(),
                                      &窗.按钮1->部件(),        &窗.编辑框手机号->部件()};
  for (QWidget* 期望 : 向前) {
    按键(Qt::Key_Tab);
    EXPECT_EQ(焦点部件(), 期望) << 期望->metaObject()->className();
  }
  for (auto 它 = 向前.rbegin() + 1; 它 != 向前.rend(); ++它) {
    按键(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(焦点部件(), *它) << (*它)->metaObject()->className();
  }
  按键(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(焦点部件(), &窗.编辑框手机号->部件());
  按键(Qt::Key_Tab, Qt::ShiftModifier);  // Shift+Tab as some keyboards report it
  EXPECT_EQ(焦点部件(), &窗.按钮1->部件());
}

class 按Esc关闭 : public 已载入主窗口, public ::testing::WithParamInterface<int> {};

TEST_P(按Esc关闭, FromAnyControlOfTheTabCycle) {
  const std::vector<platform::控件*> 循环 = 窗口->Tab循环();
  ASSERT_EQ(循环.size(), 6u);
  循环.at(static_cast<std::size_t>(GetParam()))->置焦点();
  按键(Qt::Key_Escape);
  处理延迟删除();
  EXPECT_TRUE(窗口.isNull());
  EXPECT_EQ(platform::窗口::现存数量(), 0);
}
INSTANTIATE_TEST_SUITE_P(每个控件, 按Esc关闭, ::testing::Range(0, 6));

TEST_F(主窗口, EscWithAModifierDoesNotClose) {
  按键(Qt::Key_Escape, Qt::ShiftModifier);
  处理延迟删除();
  EXPECT_FALSE(窗口.isNull());
}

TEST_F(主窗口, FocusReturnsToItsControlWhenTheWindowIsActivatedAgain) {
  窗口->编辑框结果->置焦点();
  QWidget 别的窗口;
  别的窗口.show();
  别的窗口.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&别的窗口));
  窗口->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(窗口));
  EXPECT_EQ(焦点部件(), &窗口->编辑框结果->部件());
}

// The key-down event reaches the number box's handler with the virtual-key
// code and the modifiers, repeats included; the key then goes on to the box.
TEST_F(主窗口, KeyDownEventCarriesCodeAndModifiers) {
  std::vector<std::pair<std::int32_t, std::int32_t>> 收到;
  窗口->编辑框手机号->按下某键 = [&收到](std::int32_t 键代码, std::int32_t 功能键状态) {
    收到.emplace_back(键代码, 功能键状态);
    return std::optional<bool>();
  };
  QWidget& 号码框 = 窗口->编辑框手机号->部件();
  QTest::keyClick(&号码框, Qt::Key_5, Qt::KeypadModifier);
  QTest::keyClick(&号码框, Qt::Key_Minus, Qt::KeypadModifier);
  // Ctrl is pressed first: the modifier key reports itself with no state.
  QTest::keyClick(&号码框, Qt::Key_Enter, Qt::KeypadModifier | Qt::ControlModifier);
  QKeyEvent 重复(QEvent::KeyPress, Qt::Key_7, Qt::ShiftModifier | Qt::AltModifier, "", true);
  QApplication::sendEvent(&号码框, &重复);
  QTest::keyClick(&号码框, Qt::Key_F1);
  const std::vector<std::pair<std::int32_t, std::int32_t>> 期望 = {{0x35, 0}, {0xBD, 0}, {0x11, 0},
                                                                   {13, 1},   {0x37, 6}, {0x70, 0}};
  EXPECT_EQ(收到, 期望);
  // The keypad digit and minus went on to the box.
  EXPECT_EQ(static_cast<QLineEdit&>(号码框).text(), QStringLiteral("5-"));
}

TEST_F(主窗口, HandlerReturningFalseConsumesTheKey) {
  窗口->编辑框手机号->按下某键 = [](std::int32_t, std::int32_t) {
    return std::optional<bool>(false);
  };
  键入(QStringLiteral("12"));
  EXPECT_EQ(窗口->号码框文本(), "");
}

}  // namespace
}  // namespace zorvane_test
