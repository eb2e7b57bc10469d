// The number box and result box of a console: the lookup command runs on them
// exactly as on the window's controls, so the two never disagree.
#pragma once

#include <cstdio>
#include <string>

#include "lookup/query_view.h"

class 控制台界面 : public 查询界面 {
 public:
  // Message boxes go to `messages` (standard error), as title and text.
  explicit 控制台界面(std::FILE* messages) : messages_(messages) {}

  // Puts a text into the number box as a paste would: cut to the box's limit.
  void 粘贴到号码框(std::string_view 文本);
  // The result box's text in UTF-8, with its line ends as newlines.
  std::string 结果文本() const;
  // True once any box (a rejection or a data-access error) has been shown.
  bool 显示过提示() const { return shown_message_; }

  std::string 号码框文本() const override { return number_; }
  void 置号码框文本(std::string_view 文本) override { number_ = 文本; }
  void 置结果框文本(std::string_view 文本) override { result_ = 文本; }
  void 追加结果框文本(std::string_view 文本) override { result_ += 文本; }
  void 置焦点于号码框() override {}
  void 显示提示框(std::string_view 消息, std::string_view 标题) override;
  void 显示错误框(std::string_view 描述) override;

 private:
  std::FILE* messages_;
  std::string number_;
  std::string result_;
  bool shown_message_ = false;
};
