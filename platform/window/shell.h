// The desktop shell: finding one of the program's top-level windows by title,
// and handing a document or URL to the desktop to open. Tests replace it.
#pragma once

#include <string_view>

class QWidget;

namespace platform {

class 外壳 {
 public:
  virtual ~外壳() = default;
  // The first of the program's own top-level windows whose title is exactly
  // 标题 (GBK); null when there is none.
  virtual QWidget* 查找窗口(std::string_view 标题) = 0;
  // Opens 文件 with the verb 动作 ("open"): no parameters, no working
  // directory, shown normally. The outcome is not reported.
  virtual void 执行(QWidget* 所有者, std::string_view 动作, std::string_view 文件) = 0;
};

外壳& 当前外壳();
// Puts a shell in place (null: the desktop's own) and returns the one before.
外壳* 换用外壳(外壳* 新外壳);

}  // namespace platform
