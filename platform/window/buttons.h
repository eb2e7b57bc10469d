// The flat owner-drawn button (超级按钮), the standard push button (按钮) and
// the label (标签).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window/control.h"

namespace platform {

struct 颜色对 {
  颜色 文本色{};
  颜色 背景色;
};

struct 超级按钮设置 {
  std::string 标题{};  // GBK
  std::string 提示{};  // GBK; the tooltip
  std::optional<字体记录> 字体{};
  颜色对 正常{};
  颜色对 悬停或按下{};
  颜色对 焦点{};
  bool 默认按钮 = false;
};

// Tooltips are at most this wide and wrap beyond it.
inline constexpr int kTooltipMaxWidth = 400;

class 超级按钮 : public 控件 {
 public:
  // Raised by a click, by the mouse or by the keyboard while it has the focus.
  std::function<void()> 被单击;
  virtual const 超级按钮设置& 设置() const = 0;
  virtual bool 正按下() const = 0;
};
超级按钮& 创建超级按钮(const 超级按钮设置& 设置);

struct 按钮设置 {
  std::string 标题{};  // GBK
  std::optional<字体记录> 字体{};
  bool 默认按钮 = false;
};

class 按钮 : public 控件 {
 public:
  std::function<void()> 被单击;
};
按钮& 创建按钮(const 按钮设置& 设置);

struct 标签设置 {
  std::string 标题{};  // GBK
  std::optional<字体记录> 字体{};
  颜色 文本色{};
  颜色 背景色 = kButtonFace;
};

class 标签 : public 控件 {};
标签& 创建标签(const 标签设置& 设置);

// The tooltip text as Qt shows it: wider than kTooltipMaxWidth, it becomes
// rich text that wraps at that width.
QString 提示文本(std::string_view 提示, const QFont& 提示字体);

}  // namespace platform
