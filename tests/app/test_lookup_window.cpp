// The lookup as the window runs it: Enter and the query button against the
// real database, the message boxes, re-entry while the error box waits, and
// the two web links.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "app/web_domain.h"
#include "app/web_links.h"
#include "platform/window/shell.h"
#include "tests/app/app_test_support.h"

namespace zorvane_test {
namespace {

using 查询 = 已载入主窗口;

const QString k三行 = QStringLiteral(
    "您查询的电话号码为：13800138000\r\n"
    "   该号码的供应商为：中国移动\r\n"
    "   该号码的归属地为：北京\r\n");

QString 结果文本(启动窗口& 窗) { return 界面(窗.编辑框结果->文本()); }

TEST_F(查询, EnterInTheNumberBoxRunsTheLookupAndReachesTheBox) {
  auto& 号码框 = static_cast<QLineEdit&>(窗口->编辑框手机号->部件());
  int 框收到回车 = 0;
  QObject::connect(&号码框, &QLineEdit::returnPressed, [&框收到回车] { ++框收到回车; });
  键入(QStringLiteral("13800138000"));
  按键(Qt::Key_Return);
  EXPECT_EQ(结果文本(*窗口), k三行);
  EXPECT_EQ(号码框.text(), QString());
  EXPECT_EQ(框收到回车, 1);
  EXPECT_EQ(焦点部件(), &号码框);
}

TEST_F(查询, TheQueryButtonRunsTheLookup) {
  键入(QStringLiteral("13800138000"));
  QTest::mouseClick(&窗口->超级按钮查询->部件(), Qt::LeftButton);
  EXPECT_EQ(结果文本(*窗口), k三行);
}

TEST_F(查询, EnterElsewhereDoesNothing) {
  const QString 之前 = 结果文本(*窗口);
  for (platform::控件* 控件 : {static_cast<platform::控件*>(窗口->编辑框结果),
                               static_cast<platform::控件*>(窗口->超级按钮查询),
                               static_cast<platform::控件*>(窗口->按钮1)}) {
    控件->置焦点();
    按键(Qt::Key_Return);
    EXPECT_EQ(结果文本(*窗口), 之前);
  }
}

// The result box's text can be selected and copied as it stands, lines
// ended by "\r\n".
TEST_F(查询, ResultCanBeSelectedAndCopied) {
  键入(QStringLiteral("13800138000"));
  按键(Qt::Key_Return);
  按键(Qt::Key_Tab);
  按键(Qt::Key_Tab);
  ASSERT_EQ(焦点部件(), &窗口->编辑框结果->部件());
  按键(Qt::Key_A, Qt::ControlModifier);
  按键(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), k三行);
  // Typing into it changes nothing.
  键入(QStringLiteral("x"));
  EXPECT_EQ(结果文本(*窗口), k三行);
}

TEST_F(查询, RejectedInputShowsTheTaskModalBoxThenResets) {
  struct 用例 {
    const char* 输入;
    const char* 消息;
  };
  for (const auto& [输入, 消息] : {
           用例{"", "您的输入有误，请查看您输入的号码位数是否错误"},
           用例{"1380013800", "您的输入有误，请查看您输入的号码位数是否错误"},
           用例{"23800138000", "您的输入有误，请查看您输入的第一位是否错误！"},
       }) {
    SCOPED_TRACE(输入);
    窗口->超级按钮更新->置焦点();
    窗口->置号码框文本(输入);
    消息框关闭器 关闭器;
    窗口->超级按钮查询->单击();
    ASSERT_EQ(关闭器.记录.size(), 1u);
    EXPECT_EQ(关闭器.记录[0].标题, QStringLiteral("朔禾精灵提示您"));
    EXPECT_EQ(关闭器.记录[0].文本, QString::fromUtf8(消息));
    EXPECT_EQ(关闭器.记录[0].图标, QMessageBox::NoIcon);
    EXPECT_EQ(关闭器.记录[0].模态, Qt::ApplicationModal);
    EXPECT_EQ(结果文本(*窗口),
              QStringLiteral("欢迎登录 =朔禾科技= 实用软件，精品教程，手把手教您做软件。"
                             "我们的宗旨是：『打造属于客户自己的软件平台！』"));
    EXPECT_EQ(窗口->号码框文本(), "");
    // Focusing the box activates the window again once the box is gone.
    EXPECT_TRUE(QTest::qWaitFor([&] { return 焦点部件() == &窗口->编辑框手机号->部件(); }));
  }
}

// Without a database every lookup shows the data-access error box once; it
// has no caption of its own, and while it waits the main window takes no
// input, so a click on the query button does not start a second lookup.
TEST_F(查询, ErrorBoxBlocksASecondLookupWhileItWaits) {
  窗口->数据库连接1 = std::make_unique<数据库连接>();
  窗口->置号码框文本("13800138000");
  QObject 上下文;
  int 多出的框 = 0;
  消息框关闭器 关闭器;
  关闭器.期间 = [&] {
    // Should a second lookup start, its box is closed and counted here.
    // The timer Qt makes for the call deletes itself once it has fired,
    // which the analyzer cannot follow.
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    QTimer::singleShot(200, &上下文, [&] {
      for (QWidget* 部件 : QApplication::topLevelWidgets()) {
        auto* 框 = qobject_cast<QMessageBox*>(部件);
        if (框 && 框->isVisible() && !框->property("zorvane_seen").toBool()) {
          ++多出的框;
          框->button(QMessageBox::Ok)->click();
        }
      }
    });
    // A click through the window system, as the user would make it.
    const QPoint 按钮中心 = 窗口->超级按钮查询->部件().geometry().center();
    QTest::mouseClick(窗口->windowHandle(), Qt::LeftButton, {}, 按钮中心);
  };
  窗口->超级按钮查询->单击();
  ASSERT_EQ(关闭器.记录.size(), 1u);
  EXPECT_EQ(多出的框, 0);
  EXPECT_FALSE(关闭器.记录[0].文本.isEmpty());
  EXPECT_NE(关闭器.记录[0].标题, QStringLiteral("朔禾精灵提示您"));
  EXPECT_EQ(关闭器.记录[0].模态, Qt::ApplicationModal);
  EXPECT_EQ(结果文本(*窗口),
            QStringLiteral("您查询的电话号码为：13800138000\r\n"
                           "  该号码的供应商为：数据不存在！\r\n"
                           "   该号码的归属地为：数据不存在,请检查输入或更新数据库。\r\n"));
}

class 记录外壳 final : public platform::外壳 {
 public:
  struct 调用 {
    QWidget* 所有者;
    std::string 动作;
    std::string 文件;
  };
  std::vector<调用> 调用表;
  QWidget* 查找窗口(std::string_view 标题) override { return 真外壳->查找窗口(标题); }
  void 执行(QWidget* 所有者, std::string_view 动作, std::string_view 文件) override {
    调用表.push_back({所有者, std::string(动作), std::string(文件)});
  }
  platform::外壳* 真外壳 = &platform::当前外壳();
};

class 网址 : public 已载入主窗口 {
 protected:
  void SetUp() override {
    已载入主窗口::SetUp();
    之前 = platform::换用外壳(&外壳);
  }
  void TearDown() override {
    platform::换用外壳(之前);
    已载入主窗口::TearDown();
  }
  记录外壳 外壳;
  platform::外壳* 之前 = nullptr;
};

TEST_F(网址, LinkButtonsHandTheirUrlToTheShell) {
  窗口->置号码框文本("138");
  const std::string 结果之前 = 窗口->编辑框结果->文本();
  QTest::mouseClick(&窗口->超级按钮更新->部件(), Qt::LeftButton);
  QTest::mouseClick(&窗口->超级按钮链接->部件(), Qt::LeftButton);
  ASSERT_EQ(外壳.调用表.size(), 2u);
  EXPECT_EQ(外壳.调用表[0].文件, "http://" ZORVANE_WEB_DOMAIN "/xqg-soft-mb-chaxun.html");
  EXPECT_EQ(外壳.调用表[1].文件, "http://" ZORVANE_WEB_DOMAIN "/");
  for (const auto& 调用 : 外壳.调用表) {
    EXPECT_EQ(调用.动作, "open");
    EXPECT_EQ(调用.所有者, nullptr);
  }
  // A click changes neither box, nor, from the keyboard, the focus.
  EXPECT_EQ(窗口->号码框文本(), "138");
  EXPECT_EQ(窗口->编辑框结果->文本(), 结果之前);
  窗口->超级按钮更新->置焦点();
  按键(Qt::Key_Space);
  ASSERT_EQ(外壳.调用表.size(), 3u);
  EXPECT_EQ(焦点部件(), &窗口->超级按钮更新->部件());
}

TEST_F(网址, AnExplorerWindowOwnsTheShellCall) {
  QWidget 浏览器;
  浏览器.setWindowTitle(QStringLiteral("Microsoft Internet Explorer"));
  窗口->超级按钮链接->单击();
  ASSERT_EQ(外壳.调用表.size(), 1u);
  EXPECT_EQ(外壳.调用表[0].所有者, &浏览器);
  EXPECT_EQ(外壳.调用表[0].文件, kHomePageUrl);
}

}  // namespace
}  // namespace zorvane_test
