#include "platform/window/gui_start.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace platform {
namespace {

bool 正在连接 = false;

// While Qt connects to the display, its complaints are replaced by one line.
void 连接时消息(QtMsgType 类型, const QMessageLogContext&, const QString& 消息) {
  if (!正在连接) {
    std::fprintf(stderr, "%s\n", qPrintable(消息));
    return;
  }
  if (类型 == QtFatalMsg) {
    std::fprintf(stderr,
                 "zorvane: no graphical display could be opened (is DISPLAY set?); "
                 "on a console use zorvane-lookup instead\n");
    std::_Exit(kNoDisplayExitCode);
  }
}

}  // namespace

std::unique_ptr<QApplication> 启动图形界面(int& argc, char** argv) {
  正在连接 = true;
  const QtMessageHandler 之前 = qInstallMessageHandler(连接时消息);
  auto 应用 = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(之前);
  正在连接 = false;

  // The window closes the program itself once no window of it is left.
  QApplication::setQuitOnLastWindowClosed(false);
  // The description's face is a Windows font; fontconfig knows its likes.
  QFont::insertSubstitutions(
      QStringLiteral("微软雅黑"),
      {QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
  return 应用;
}

int 运行消息循环() { return QApplication::exec(); }

void 投递退出消息(int 代码) { QCoreApplication::exit(代码); }

}  // namespace platform
