#include "platform/window/control.h"

#include <QApplication>
#include <QWidget>

#include "platform/gbk.h"

namespace platform {

QColor 取颜色(颜色 色, const QPalette& 调色板) {
  if (色.按钮表面) return 调色板.color(QPalette::Button);
  return QColor(色.红, 色.绿, 色.蓝);
}

QFont 取字体(const std::optional<字体记录>& 记录) {
  if (!记录 || 记录->字名.empty() || 记录->高度像素 <= 0) return QApplication::font();
  QFont 结果(转界面文本(记录->字名));
  结果.setPixelSize(记录->高度像素);
  结果.setWeight(static_cast<QFont::Weight>(记录->字重));
  结果.setItalic(记录->斜体);
  结果.setUnderline(记录->下划线);
  结果.setStrikeOut(记录->删除线);
  // The family bits of the pitch-and-family byte (FF_SWISS is 0x20).
  if ((记录->间距与族 & 0xF0) == 0x20) 结果.setStyleHint(QFont::SansSerif);
  return 结果;
}

QString 转界面文本(std::string_view gbk) { return QString::fromStdU16String(GbkToUnicode(gbk)); }

std::string 转程序文本(const QString& 文本) { return UnicodeToGbk(文本.toStdU16String()); }

bool 控件::认领按键(std::int32_t) const { return false; }

// As on the window system, focusing a control of an inactive window also
// activates that window.
void 控件::置焦点() {
  部件().setFocus(Qt::OtherFocusReason);
  if (!部件().isActiveWindow()) 部件().activateWindow();
}

void 控件::置无障碍信息(std::string_view 名称, std::string_view 描述) {
  部件().setAccessibleName(转界面文本(名称));
  部件().setAccessibleDescription(转界面文本(描述));
}

}  // namespace platform
