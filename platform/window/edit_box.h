// The edit box: one line or several, editable or read-only, with the input
// settings a window description gives it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window/control.h"

namespace platform {

struct 编辑框设置 {
  bool 多行 = false;  // words wrap at the right edge, the box follows the caret
  bool 只读 = false;
  std::size_t 最大字节 = 0;  // for typing and pasting, in GBK bytes; 0: no limit
  bool 凹陷边框 = false;
  颜色 文本色 = RGB(0, 0, 0);
  颜色 背景色 = RGB(255, 255, 255);
  std::optional<字体记录> 字体{};
  // Of the typed characters with a code of 32 or more only "-" and the
  // digits are accepted.
  bool 整数文本输入 = false;
};

class 编辑框 : public 控件 {
 public:
  // The whole text, GBK, each line break as "\r\n".
  virtual std::string 文本() const = 0;
  // Replaces the whole text; neither filtered nor limited. The caret goes to
  // the start.
  virtual void 置文本(std::string_view 文本) = 0;
  // Caret to the end, scrolled into view, then the text replaces the empty
  // selection (not undoable).
  virtual void 追加文本(std::string_view 文本) = 0;
  virtual const 编辑框设置& 设置() const = 0;
};

// A new edit box without parent; the window takes it with 添加控件.
编辑框& 创建编辑框(const 编辑框设置& 设置);

// What of a text fits into 容量 GBK bytes: its longest prefix of whole
// characters that fits.
QString 截取字节容量(const QString& 文本, std::size_t 容量);
std::size_t Gbk字节数(const QString& 文本);

}  // namespace platform
