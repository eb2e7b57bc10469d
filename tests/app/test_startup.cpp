// Start-up and shut-down: the prepared process, the library entries and
// their load order, the exit clean-up, and the fatal-error box.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/startup.h"
#include "lookup/decompose.h"
#include "platform/ado.h"
#include "tests/app/app_test_support.h"
#include "tests/support/fixture_db.h"

namespace zorvane_test {
namespace {

namespace fs = std::filesystem;

const fs::path kSkinLibrary = fs::path(ZORVANE_PROGRAM_DIR) / "Source" / "SkinH_EL.dll";

// The current directory, put back when the test ends.
class 保持当前目录 {
 public:
  保持当前目录() : 目录_(fs::current_path()) {}
  ~保持当前目录() { fs::current_path(目录_); }

 private:
  fs::path 目录_;
};

bool 已载入(const fs::path& 文件) {
  void* 库 = ::dlopen(文件.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (库) ::dlclose(库);
  return 库 != nullptr;
}

TEST(启动, PreparingSetsTheProcessUp) {
  保持当前目录 目录;
  号段 = "1380013";
  首位数字 = 5;
  准备应用程序(ZORVANE_PROGRAM_DIR);
  const 应用程序& 程序 = 本程序();
  EXPECT_EQ(fs::current_path(), fs::path(ZORVANE_PROGRAM_DIR));
  EXPECT_TRUE(程序.OLE已初始化);
  ASSERT_EQ(程序.DLL命令表.size(), 1u);
  EXPECT_EQ(程序.DLL命令表[0].库文件, "Source\\SkinH_EL.dll");
  EXPECT_EQ(程序.DLL命令表[0].命令名, "SkinH_AttachEx");
  EXPECT_EQ(程序.DLL命令表[0].入口地址, nullptr);
  EXPECT_EQ(号段, "");
  EXPECT_EQ(首位数字, 0);
  EXPECT_EQ(程序.退出例程, &释放全局变量);
  退出清理();
}

TEST(启动, ExitCleanUpReleasesInOrderAndUnloadsTheSkin) {
  保持当前目录 目录;
  准备应用程序(ZORVANE_PROGRAM_DIR);
  void* 入口 = 解析DLL命令(kSkinAttach);
  ASSERT_NE(入口, nullptr);
  EXPECT_EQ(解析DLL命令(kSkinAttach), 入口);  // resolved once, then kept
  EXPECT_TRUE(已载入(kSkinLibrary));
  号段 = "1380013";
  退出清理();
  EXPECT_EQ(号段, "");
  EXPECT_EQ(号段.capacity(), std::string().capacity());
  EXPECT_FALSE(已载入(kSkinLibrary));
  EXPECT_TRUE(本程序().DLL命令表.empty());
  EXPECT_FALSE(本程序().OLE已初始化);
  EXPECT_EQ(本程序().退出例程, nullptr);
}

// The program's folder first, then the declared path as the system finds it
// (relative to the current directory).
TEST(启动, LibraryComesFromTheProgramFolderFirst) {
  保持当前目录 目录;
  TempDir 程序目录;
  TempDir 别处;
  准备应用程序(程序目录.path().string());
  const DLL命令 命令{.库文件 = "Source\\SkinH_EL.dll", .命令名 = "SkinH_AttachEx"};

  fs::current_path(别处.path());
  EXPECT_EQ(载入DLL命令库(命令), nullptr);

  fs::create_directories(别处 / "Source");
  fs::copy_file(kSkinLibrary, 别处 / "Source" / "SkinH_EL.dll");
  platform::库句柄 库 = 载入DLL命令库(命令);
  ASSERT_NE(库, nullptr);
  EXPECT_TRUE(已载入(别处 / "Source" / "SkinH_EL.dll"));
  platform::释放库(库);

  fs::create_directories(程序目录 / "Source");
  fs::copy_file(kSkinLibrary, 程序目录 / "Source" / "SkinH_EL.dll");
  库 = 载入DLL命令库(命令);
  ASSERT_NE(库, nullptr);
  EXPECT_TRUE(已载入(程序目录 / "Source" / "SkinH_EL.dll"));
  EXPECT_FALSE(已载入(别处 / "Source" / "SkinH_EL.dll"));
  platform::释放库(库);
  退出清理();
}

TEST(致命错误, BoxTextHasHeadingCodeAndMessageLines) {
  EXPECT_EQ(致命错误文本(程序("调用DLL命令后发现堆栈错误"), 6),
            程序("运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n"));
  EXPECT_EQ(致命错误文本(程序("载入启动窗口失败"), 0),
            程序("运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"));
  EXPECT_EQ(致命错误文本("", 0), 程序("运行时出错!\r\n\r\n"));
  EXPECT_EQ(内存分配失败消息(4096), 程序("分配 4096 字节内存失败!"));
}

// An entry that cannot be resolved: the fatal box (caption "错误", error
// icon, not modal), then exit code -1 once it is closed; the exit routine
// does not run.
void 解析失败后退出() {
  准备应用程序("/nonexistent-zorvane-folder");
  ::chdir("/");
  号段 = "1380013";
  QTimer 计时器;
  QObject::connect(&计时器, &QTimer::timeout, [] {
    for (QWidget* 部件 : QApplication::topLevelWidgets()) {
      auto* 框 = qobject_cast<QMessageBox*>(部件);
      if (框 == nullptr || !框->isVisible()) continue;
      const bool 如期 = 框->windowTitle() == QStringLiteral("错误") &&
                        框->icon() == QMessageBox::Critical &&
                        框->windowModality() == Qt::NonModal &&
                        框->text() == QStringLiteral(
                                          "运行时出错!\n\n错误信息：无法找到指定DLL库文件“Source\\"
                                          "SkinH_EL.dll”中的输出命令“SkinH_AttachEx”\n");
      if (!如期) std::_Exit(3);
      框->button(QMessageBox::Ok)->click();
    }
  });
  计时器.start(10);
  解析DLL命令(kSkinAttach);
  std::_Exit(4);  // never reached
}

TEST(致命错误DeathTest, UnresolvedEntryShowsTheBoxAndExitsWithMinusOne) {
  EXPECT_EXIT(解析失败后退出(), ::testing::ExitedWithCode(255), "");
}

TEST(皮肤, MissingSkinFileChangesNothing) {
  保持当前目录 目录;
  准备应用程序(ZORVANE_PROGRAM_DIR);
  const QString 之前 = qApp->styleSheet();
  EXPECT_EQ((调用DLL命令<int(const char*, const char*)>(kSkinAttach, "Source\\none.she", "")), 0);
  EXPECT_EQ(qApp->styleSheet(), 之前);
  EXPECT_EQ((调用DLL命令<int(const char*, const char*)>(kSkinAttach, "Source\\vexa.she", "")), 1);
  EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QToolTip")));
  退出清理();
}

}  // namespace
}  // namespace zorvane_test
