#include "platform/window/message_box.h"

#include <cstdio>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>

#include "platform/window/control.h"

namespace platform {

void 消息框(std::string_view 消息, std::optional<std::string_view> 标题, 消息框图标 图标,
            消息框模态 模态) {
  // Before the window system is up there is only the console.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s\n", qPrintable(转界面文本(消息)));
    return;
  }
  QMessageBox 框;
  框.setTextFormat(Qt::PlainText);
  框.setText(转界面文本(消息).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  if (标题) 框.setWindowTitle(转界面文本(*标题));
  框.setIcon(图标 == 消息框图标::错误 ? QMessageBox::Critical : QMessageBox::NoIcon);
  框.setStandardButtons(QMessageBox::Ok);
  框.setWindowModality(模态 == 消息框模态::任务 ? Qt::ApplicationModal : Qt::NonModal);
  QEventLoop 循环;
  QObject::connect(&框, &QDialog::finished, &循环, &QEventLoop::quit);
  框.show();
  框.activateWindow();
  循环.exec();
}

}  // namespace platform
