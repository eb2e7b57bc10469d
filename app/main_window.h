// The main window 启动窗口: its controls and their settings, the two data
// components, and which handler each event runs. The window owns all of them
// and destroys them with itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "lookup/data_components.h"
#include "lookup/query_view.h"
#include "platform/window/buttons.h"
#include "platform/window/edit_box.h"
#include "platform/window/window.h"

inline constexpr int kMainWindowWidth = 293;
inline constexpr int kMainWindowHeight = 149;

class 启动窗口 final : public platform::窗口, public 查询界面 {
 public:
  // Creates the window hidden with every control and both data components,
  // and binds the events to their handlers.
  启动窗口();
  ~启动窗口() override;

  // The controls, in description order; the window owns them.
  platform::超级按钮* 超级按钮更新 = nullptr;
  platform::超级按钮* 超级按钮链接 = nullptr;
  platform::编辑框* 编辑框结果 = nullptr;
  platform::标签* 标签手机号码 = nullptr;
  platform::超级按钮* 超级按钮查询 = nullptr;
  platform::编辑框* 编辑框手机号 = nullptr;
  std::unique_ptr<记录集> 记录集1;
  std::unique_ptr<数据库连接> 数据库连接1;
  platform::按钮* 按钮1 = nullptr;

  // 查询界面
  std::string 号码框文本() const override;
  void 置号码框文本(std::string_view 文本) override;
  void 置结果框文本(std::string_view 文本) override;
  void 追加结果框文本(std::string_view 文本) override;
  void 置焦点于号码框() override;
  void 显示提示框(std::string_view 消息, std::string_view 标题) override;
  // The data-access error box. While it waits, the main window takes no
  // input, so no second lookup can start inside the first.
  void 显示错误框(std::string_view 描述) override;
};

// The window caption and the initial text of the result box (GBK).
std::string 主窗口标题();
std::string 结果框初始文本();
