// What the lookup needs from the window around it.
//
// The window implements it on real controls, the console front end on plain
// strings, and the tests with a recording fake. Every text is GBK.
#pragma once

#include <string>
#include <string_view>

// The data-access error box: a message box with no caption of its own and an
// OK button; returns when it is closed.
class 错误提示 {
 public:
  virtual ~错误提示() = default;
  virtual void 显示错误框(std::string_view 描述) = 0;
};

class 查询界面 : public 错误提示 {
 public:
  // The whole text of the number box.
  virtual std::string 号码框文本() const = 0;
  // Replace the whole text of a box; the number box neither filters nor cuts
  // a text the program sets.
  virtual void 置号码框文本(std::string_view 文本) = 0;
  virtual void 置结果框文本(std::string_view 文本) = 0;
  // Caret to the end of the result box, scrolled into view, then the text
  // replaces the empty selection (not undoable).
  virtual void 追加结果框文本(std::string_view 文本) = 0;
  virtual void 置焦点于号码框() = 0;
  // The task-modal message box: no icon, OK; returns when it is closed.
  virtual void 显示提示框(std::string_view 消息, std::string_view 标题) = 0;
};
