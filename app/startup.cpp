#include "app/startup.h"

#include <cfenv>
#include <cstdio>
#include <cstdlib>

#include <QPointer>

#include "app/main_window.h"
#include "lookup/decompose.h"
#include "lookup/lookup_command.h"
#include "platform/ado.h"
#include "platform/gbk.h"
#include "platform/program_dir.h"
#include "platform/window/gui_start.h"
#include "platform/window/message_box.h"

namespace {

using platform::Utf8ToGbk;

// Replaces the first "%s" or "%d" of the format by the argument.
std::string 填入(std::string 格式, std::string_view 实参) {
  for (std::size_t 位置 = 0; (位置 = 格式.find('%', 位置)) != std::string::npos; ++位置) {
    if (位置 + 1 < 格式.size() && (格式[位置 + 1] == 's' || 格式[位置 + 1] == 'd')) {
      return 格式.replace(位置, 2, 实参);
    }
  }
  return 格式;
}

}  // namespace

应用程序& 本程序() {
  static 应用程序 实例;
  return 实例;
}

void 准备应用程序(std::string 程序目录) {
  应用程序& 程序 = 本程序();
  if (!程序.OLE已初始化) {
    ado::Initialize();
    程序.OLE已初始化 = true;
  }
  // Every relative path of the program resolves against its own folder.
  程序.程序目录 = std::move(程序目录);
  platform::置当前目录(程序.程序目录);
  程序.DLL命令表 = {DLL命令{.库文件 = "Source\\SkinH_EL.dll", .命令名 = "SkinH_AttachEx"}};
  // Round to nearest with every floating-point exception masked; the number
  // decomposition relies on it.
  std::fesetenv(FE_DFL_ENV);
  号段 = std::string();
  首位数字 = 0;
  程序.退出例程 = 释放全局变量;
}

启动窗口* 载入启动窗口() {
  启动窗口* 窗口 = nullptr;
  try {
    窗口 = new 启动窗口();
  } catch (...) {
    报告致命错误(Utf8ToGbk("载入启动窗口失败"), 0);
  }
  窗口->已销毁 = [] {
    if (platform::窗口::现存数量() == 0 && 本程序().循环运行中) platform::投递退出消息(0);
  };
  QPointer<启动窗口> 存活(窗口);
  窗口->载入();
  return 存活.data();
}

int 启动程序() {
  准备应用程序(ProgramDirectory());
  载入启动窗口();
  本程序().循环运行中 = true;
  if (platform::窗口::现存数量() > 0) 本程序().退出码 = platform::运行消息循环();
  return 0;
}

void 释放全局变量() { 号段 = std::string(); }

void 退出清理() {
  应用程序& 程序 = 本程序();
  if (程序.退出例程) {
    程序.退出例程();
    程序.退出例程 = nullptr;
  }
  // The windows take their data components with them.
  platform::窗口::销毁全部();
  for (const DLL命令& 命令 : 程序.DLL命令表) platform::释放库(命令.库句柄);
  程序.DLL命令表.clear();
  if (程序.OLE已初始化) {
    ado::Uninitialize();
    程序.OLE已初始化 = false;
  }
}

std::string 致命错误文本(std::string_view 消息, int 代码) {
  std::string 文本 = Utf8ToGbk("运行时出错!\r\n\r\n");
  if (代码 != 0) 文本 += Utf8ToGbk("错误代码：") + std::to_string(代码) + "\r\n\r\n";
  if (!消息.empty()) 文本 += Utf8ToGbk("错误信息：") + std::string(消息) + "\r\n";
  return 文本;
}

std::string 内存分配失败消息(std::size_t 字节数) {
  return 填入(Utf8ToGbk("分配 %d 字节内存失败!"), std::to_string(字节数));
}

void 报告致命错误(std::string_view 消息, int 代码) {
  // A fatal error while the box is being shown (memory again) ends at once.
  static bool 报告中 = false;
  if (!报告中) {
    报告中 = true;
    platform::消息框(致命错误文本(消息, 代码), Utf8ToGbk("错误"), platform::消息框图标::错误,
                     platform::消息框模态::无);
    本程序().退出例程 = nullptr;
    退出清理();
  }
  std::fflush(nullptr);
  std::_Exit(-1);
}

platform::库句柄 载入DLL命令库(const DLL命令& 命令) {
  if (platform::库句柄 库 = platform::载入库(本程序().程序目录 + "/" + 命令.库文件)) return 库;
  return platform::载入库(命令.库文件);
}

void* 解析DLL命令(std::size_t 序号) {
  DLL命令& 命令 = 本程序().DLL命令表.at(序号);
  if (命令.入口地址) return 命令.入口地址;
  const platform::库句柄 库 = 载入DLL命令库(命令);
  命令.入口地址 = platform::取入口地址(库, 命令.命令名);
  if (命令.入口地址) {
    命令.库句柄 = 库;
    return 命令.入口地址;
  }
  // A missing library and a missing entry give the same message.
  platform::释放库(库);
  报告致命错误(
      填入(填入(Utf8ToGbk("无法找到指定DLL库文件“%s”中的输出命令“%s”"), 命令.库文件), 命令.命令名),
      0);
}

void 启动窗口_创建完毕(启动窗口& 窗口) {
  调用DLL命令<int(const char*, const char*)>(kSkinAttach, "Source\\vexa.she", "");
  窗口.数据库连接1->连接数据库文件(kDatabaseFile, kDatabasePassword);
}

void 启动窗口_首次激活(启动窗口& 窗口) { 窗口.编辑框手机号->置焦点(); }
