// What every control of a window shares: its colours and font as the window
// description gives them, its place in the Tab cycle, and its key-down event.
//
// A control is a Qt widget that also derives from 控件; its parent window owns
// it. Texts cross this layer as GBK and become UTF-16 only inside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QWidget;

namespace platform {

// A colour of the description: a fixed one, or the system's button face,
// which is looked up in the palette each time it is applied.
struct 颜色 {
  std::uint8_t 红 = 0;
  std::uint8_t 绿 = 0;
  std::uint8_t 蓝 = 0;
  bool 按钮表面 = false;
};
inline constexpr 颜色 kButtonFace{0, 0, 0, true};
constexpr 颜色 RGB(std::uint8_t 红, std::uint8_t 绿, std::uint8_t 蓝) {
  return {红, 绿, 蓝, false};
}
QColor 取颜色(颜色 色, const QPalette& 调色板);

// A stored font record. Only face, height, weight and the three flags shape
// the Qt font; character set, precisions and quality have no Qt counterpart.
struct 字体记录 {
  std::string 字名;  // GBK
  int 高度像素 = 0;  // character height, as a negative LOGFONT height gives it
  int 字重 = 400;
  bool 斜体 = false;
  bool 下划线 = false;
  bool 删除线 = false;
  int 字符集 = 134;
  int 间距与族 = 34;
};
// The record's font; the default GUI font when there is no usable record.
QFont 取字体(const std::optional<字体记录>& 记录);

QString 转界面文本(std::string_view gbk);
std::string 转程序文本(const QString& 文本);

class 控件 {
 public:
  virtual ~控件() = default;

  virtual QWidget& 部件() = 0;
  const QWidget& 部件() const { return const_cast<控件*>(this)->部件(); }

  // Raised by the window's keyboard pre-processing with the virtual-key code
  // and the modifier state (1 Ctrl + 2 Shift + 4 Alt). A handler that returns
  // no value, or true, lets the key go on to the control; false consumes it.
  std::function<std::optional<bool>(std::int32_t 键代码, std::int32_t 功能键状态)> 按下某键;

  bool 停留 = false;  // a tab stop
  int Tab顺序 = 0;

  // Whether the control takes this key before the window looks at it.
  virtual bool 认领按键(std::int32_t 键代码) const;
  // Puts the keyboard focus on the control.
  void 置焦点();
  // What a screen reader announces for the control (GBK).
  void 置无障碍信息(std::string_view 名称, std::string_view 描述);
  virtual bool 是默认按钮() const { return false; }
  virtual void 单击() {}
  // Resolves the described colours against the current palette.
  virtual void 套用颜色() {}
};

}  // namespace platform
