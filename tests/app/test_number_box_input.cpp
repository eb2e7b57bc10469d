// The number box: which typed characters it takes, its 11-byte GBK limit for
// typing and pasting, and text the program sets, which it neither filters nor
// cuts.
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include "lookup/number_box.h"
#include "platform/gbk.h"
#include "platform/window/edit_box.h"
#include "tests/app/app_test_support.h"

namespace zorvane_test {
namespace {

using 号码框 = 已载入主窗口;

QString 框中文本(启动窗口& 窗) { return static_cast<QLineEdit&>(窗.编辑框手机号->部件()).text(); }

struct 键入用例 {
  const char* 键入;
  const char* 结果;
};

TEST_F(号码框, TypedCharactersPassTheIntegerFilterAndTheLimit) {
  const 键入用例 用例[] = {
      {"abc", ""},
      {" +.", ""},
      {"-12-3", "-12-3"},
      {"１２３", ""},  // full-width digits are not digits to the box
      {"138001380001", "13800138000"},
      {"1a3b8", "138"},
  };
  for (const auto& [键入文本, 结果] : 用例) {
    SCOPED_TRACE(键入文本);
    窗口->置号码框文本("");
    键入(QString::fromUtf8(键入文本));
    EXPECT_EQ(框中文本(*窗口), QString::fromUtf8(结果));
  }
}

TEST_F(号码框, TypingOverASelectionMayUseItsBytes) {
  键入(QStringLiteral("13800138000"));
  auto& 框 = static_cast<QLineEdit&>(窗口->编辑框手机号->部件());
  框.setSelection(10, 1);
  键入(QStringLiteral("9"));
  EXPECT_EQ(框.text(), QStringLiteral("13800138009"));
}

TEST_F(号码框, InputMethodTextCountsAsTyped) {
  QInputMethodEvent 提交;
  提交.setCommitString(QStringLiteral("手机1３-8"));
  QApplication::sendEvent(&窗口->编辑框手机号->部件(), &提交);
  EXPECT_EQ(框中文本(*窗口), QStringLiteral("1-8"));
}

struct 粘贴用例 {
  const char* 框中;
  const char* 粘贴;
  const char* 结果;
};

TEST_F(号码框, PastedTextIsNotFilteredButCutToWhatFits) {
  const 粘贴用例 用例[] = {
      {"", "138001380001", "13800138000"},
      {"", "abc", "abc"},
      {"", "+86 13800138000", "+86 1380013"},
      {"", "13800138000abc", "13800138000"},
      {"", "１２３４５６", "１２３４５"},  // five double-byte characters, 10 bytes
      {"", "1手机号码", "1手机号码"},
      {"", "1234手机号码", "1234手机号"},  // never half a character
      {"", "138\r\n0013", "138"},          // one line only
      {"1380013", "80001", "13800138000"},
      {"13800138000", "5", "13800138000"},
  };
  for (const auto& [框中, 粘贴, 结果] : 用例) {
    SCOPED_TRACE(粘贴);
    窗口->置号码框文本(程序(框中));
    static_cast<QLineEdit&>(窗口->编辑框手机号->部件()).end(false);
    QApplication::clipboard()->setText(QString::fromUtf8(粘贴));
    按键(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(框中文本(*窗口), QString::fromUtf8(结果));
  }
}

// The box's cut and the lookup's rule for the empty box agree.
TEST(号码框容量, AgreesWithTheLookupsRuleForTheEmptyBox) {
  for (const char* 文本 : {"138001380001", "１２３４５６", "12手机号码", "abc", "a手机号码b"}) {
    SCOPED_TRACE(文本);
    const QString 输入 = QString::fromUtf8(文本);
    EXPECT_EQ(platform::转程序文本(platform::截取字节容量(输入, kNumberBoxLimit)),
              截取号码框容量(platform::转程序文本(输入)));
  }
}

TEST_F(号码框, ProgramSetTextIsNeitherFilteredNorCut) {
  const std::string 长文本 = 程序("欢迎登录 =朔禾科技= 实用软件");
  窗口->置号码框文本(长文本);
  EXPECT_EQ(窗口->号码框文本(), 长文本);
  // Leaving the box changes nothing.
  按键(Qt::Key_Tab);
  EXPECT_EQ(窗口->号码框文本(), 长文本);
}

TEST_F(号码框, ATwelfthTypedCharacterIsRefusedButEditingKeysStillWork) {
  键入(QStringLiteral("13800138000"));
  键入(QStringLiteral("1"));
  EXPECT_EQ(框中文本(*窗口), QStringLiteral("13800138000"));
  按键(Qt::Key_Backspace);
  EXPECT_EQ(框中文本(*窗口), QStringLiteral("1380013800"));
  按键(Qt::Key_A, Qt::ControlModifier);
  按键(Qt::Key_Delete);
  EXPECT_EQ(框中文本(*窗口), QString());
}

}  // namespace
}  // namespace zorvane_test
