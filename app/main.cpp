// The program: the platform's start-up, then 启动程序, then the exit clean-up.
#include "app/startup.h"
#include "platform/window/gui_start.h"

#include <QApplication>

int main(int argc, char** argv) {
  const auto 图形界面 = platform::启动图形界面(argc, argv);
  启动程序();
  退出清理();
  return 本程序().退出码;
}
