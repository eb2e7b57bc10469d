#include "platform/window/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "platform/window/control.h"

namespace platform {
namespace {

class 桌面外壳 final : public 外壳 {
 public:
  QWidget* 查找窗口(std::string_view 标题) override {
    const QString 目标 = 转界面文本(标题);
    for (QWidget* 窗口 : QApplication::topLevelWidgets()) {
      if (窗口->isWindow() && 窗口->windowTitle() == 目标) return 窗口;
    }
    return nullptr;
  }

  // The desktop chooses the browser (xdg-open); it has no use for an owner.
  void 执行(QWidget*, std::string_view 动作, std::string_view 文件) override {
    if (动作 != "open") return;
    QDesktopServices::openUrl(QUrl(转界面文本(文件)));
  }
};

外壳*& 已换用() {
  static 外壳* 外壳指针 = nullptr;
  return 外壳指针;
}

}  // namespace

外壳& 当前外壳() {
  static 桌面外壳 桌面;
  if (外壳* 换用的 = 已换用()) return *换用的;
  return 桌面;
}

外壳* 换用外壳(外壳* 新外壳) {
  外壳* 之前 = 已换用();
  已换用() = 新外壳;
  return 之前;
}

}  // namespace platform
