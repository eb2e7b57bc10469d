// The graphical side of process start-up and the message loop.
#pragma once

#include <memory>

class QApplication;

namespace platform {

// Connects to the display and sets up the window system for the program.
// Without a display it prints one line that says so, names the console front
// end, and ends the process with kNoDisplayExitCode.
std::unique_ptr<QApplication> 启动图形界面(int& argc, char** argv);

inline constexpr int kNoDisplayExitCode = 2;

// Runs the message loop until the quit message; returns the quit code.
int 运行消息循环();
// Posts the quit message with the code; the loop ends when it takes it.
void 投递退出消息(int 代码);

}  // namespace platform
