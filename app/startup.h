// Starting and ending the process: the process-wide state, the exit clean-up,
// the table of external library entries and the fatal-error box.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/process.h"

class 启动窗口;

// One entry of an external library, loaded and resolved on its first call.
struct DLL命令 {
  std::string 库文件;  // as declared, relative to the program's folder
  std::string 命令名;
  void* 入口地址 = nullptr;
  platform::库句柄 库句柄 = nullptr;
};

// Row 0: the skin library's entry.
inline constexpr std::size_t kSkinAttach = 0;

struct 应用程序 {
  std::string 程序目录;
  void (*退出例程)() = nullptr;
  bool 循环运行中 = false;
  bool OLE已初始化 = false;
  std::vector<DLL命令> DLL命令表;
  int 退出码 = 0;  // the code the quit message carried
};
应用程序& 本程序();

// Runs the program: prepares the process, loads and shows the main window,
// runs the message loop; returns 0 once the loop has ended.
int 启动程序();

// Steps 1 to 8 of the start, for a given program folder: data-access layer,
// current directory, library table, floating-point environment, globals,
// exit routine.
void 准备应用程序(std::string 程序目录);

// Creates the main window and runs its loading: created event, then shown.
// Returns the window, or null when it did not survive its loading.
启动窗口* 载入启动窗口();

void 退出清理();
void 释放全局变量();

// Shows the fatal-error box, skips the exit routine, cleans up the rest and
// ends the process with exit code -1 (255 as the shell sees it).
[[noreturn]] void 报告致命错误(std::string_view 消息, int 代码);
// The text of the fatal-error box (GBK).
std::string 致命错误文本(std::string_view 消息, int 代码);
// The message of a failed allocation (GBK).
std::string 内存分配失败消息(std::size_t 字节数);

// The library of a row: the program's folder joined with the declared file
// first, then the declared file as given. Null when neither loads.
platform::库句柄 载入DLL命令库(const DLL命令& 命令);
// The entry's address, loaded and resolved on first use; a fatal error when
// it cannot be resolved.
void* 解析DLL命令(std::size_t 序号);

template <typename 函数, typename... 参数>
auto 调用DLL命令(std::size_t 序号, 参数... 实参) {
  // Every entry has the platform's one calling convention, so the stack is
  // balanced after the call by construction.
  auto* 入口 = reinterpret_cast<函数*>(解析DLL命令(序号));
  return 入口(实参...);
}

void 启动窗口_创建完毕(启动窗口& 窗口);
void 启动窗口_首次激活(启动窗口& 窗口);
