#include "tools/zorvane_lookup/console_view.h"

#include "lookup/number_box.h"
#include "platform/gbk.h"

void 控制台界面::粘贴到号码框(std::string_view 文本) { number_ = 截取号码框容量(文本); }

std::string 控制台界面::结果文本() const {
  std::string utf8 = platform::GbkToUtf8(result_);
  std::string text;
  text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    text += utf8[i];
  }
  return text;
}

void 控制台界面::显示提示框(std::string_view 消息, std::string_view 标题) {
  shown_message_ = true;
  std::fprintf(messages_, "%s: %s\n", platform::GbkToUtf8(标题).c_str(),
               platform::GbkToUtf8(消息).c_str());
}

void 控制台界面::显示错误框(std::string_view 描述) {
  shown_message_ = true;
  std::fprintf(messages_, "%s\n", platform::GbkToUtf8(描述).c_str());
}
