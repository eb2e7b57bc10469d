#include "app/main_window.h"

#include "app/startup.h"
#include "app/web_domain.h"
#include "app/web_links.h"
#include "lookup/lookup_command.h"
#include "lookup/number_box.h"
#include "platform/gbk.h"
#include "platform/window/message_box.h"

namespace {

using platform::RGB;
using platform::Utf8ToGbk;

constexpr platform::颜色 kDarkRed = RGB(128, 0, 0);
constexpr platform::颜色 kGreen = RGB(0, 128, 0);
constexpr platform::颜色 kNavy = RGB(0, 0, 128);
constexpr platform::颜色 kWhite = RGB(255, 255, 255);

// Every stored font: 微软雅黑, normal weight, GB2312, variable pitch, Swiss.
platform::字体记录 雅黑(int 高度像素) {
  return platform::字体记录{.字名 = Utf8ToGbk("微软雅黑"), .高度像素 = 高度像素};
}

// Hovering, pressing or focusing changes no colour.
platform::超级按钮设置 链接按钮(std::string 标题, std::string 提示, int 字高) {
  const platform::颜色对 配色{kDarkRed, platform::kButtonFace};
  return platform::超级按钮设置{.标题 = std::move(标题),
                                .提示 = std::move(提示),
                                .字体 = 雅黑(字高),
                                .正常 = 配色,
                                .悬停或按下 = 配色,
                                .焦点 = 配色};
}

}  // namespace

std::string 主窗口标题() { return "Zorvane-" ZORVANE_WEB_DOMAIN; }

std::string 结果框初始文本() {
  return Utf8ToGbk(
      "    欢迎登录 -朔禾工作室- "
      "实用软件，专业定制软件，我们的宗旨是：『打造属于客户自己的软件平台！』");
}

启动窗口::启动窗口() {
  置标题(主窗口标题());
  置外部尺寸并居中(kMainWindowWidth, kMainWindowHeight);
  置图标("DEFAULT_ICON");

  超级按钮更新 =
      &platform::创建超级按钮(链接按钮(Utf8ToGbk("数据库更新"), Utf8ToGbk("下载最新版数据库"), 14));
  超级按钮更新->停留 = true;
  添加控件(*超级按钮更新, 202, 96, 73, 25, true);

  超级按钮链接 =
      &platform::创建超级按钮(链接按钮(ZORVANE_WEB_DOMAIN, Utf8ToGbk("欢迎支持朔禾科技"), 14));
  超级按钮链接->停留 = true;
  添加控件(*超级按钮链接, 16, 95, 122, 25, true);

  编辑框结果 = &platform::创建编辑框(platform::编辑框设置{.多行 = true,
                                                          .只读 = true,
                                                          .文本色 = kGreen,
                                                          .背景色 = platform::kButtonFace,
                                                          .字体 = 雅黑(14)});
  编辑框结果->停留 = true;
  编辑框结果->置文本(结果框初始文本());
  编辑框结果->置无障碍信息(Utf8ToGbk("查询结果"), Utf8ToGbk("只读，可选择并复制"));
  添加控件(*编辑框结果, 12, 35, 268, 82, true);

  标签手机号码 = &platform::创建标签(
      platform::标签设置{.标题 = Utf8ToGbk("手机号码："), .字体 = 雅黑(12), .文本色 = kDarkRed});
  // 创建标签 returns the new label, not its settings argument.
  // cppcheck-suppress danglingTemporaryLifetime
  添加控件(*标签手机号码, 12, 9, 61, 18, true);

  超级按钮查询 =
      &platform::创建超级按钮(链接按钮(Utf8ToGbk("点击查询"), Utf8ToGbk("查询归属地信息"), 12));
  超级按钮查询->停留 = true;
  添加控件(*超级按钮查询, 217, 8, 58, 22, true);

  编辑框手机号 = &platform::创建编辑框(platform::编辑框设置{.最大字节 = kNumberBoxLimit,
                                                            .凹陷边框 = true,
                                                            .文本色 = kNavy,
                                                            .背景色 = kWhite,
                                                            .字体 = 雅黑(12),
                                                            .整数文本输入 = true});
  编辑框手机号->停留 = true;
  编辑框手机号->置无障碍信息(Utf8ToGbk("手机号码"),
                             Utf8ToGbk("输入11位手机号码，按回车键或点击查询"));
  添加控件(*编辑框手机号, 83, 6, 123, 24, true);

  记录集1 = std::make_unique<记录集>(*this);
  数据库连接1 = std::make_unique<数据库连接>();

  // Off the client area, never seen, yet in the Tab cycle.
  按钮1 = &platform::创建按钮(platform::按钮设置{.标题 = Utf8ToGbk("按钮")});
  按钮1->停留 = true;
  添加控件(*按钮1, 480, 40, 128, 40, true);

  创建完毕 = [this] { 启动窗口_创建完毕(*this); };
  首次激活 = [this] { 启动窗口_首次激活(*this); };
  超级按钮查询->被单击 = [this] { 执行查询(*this, *数据库连接1, *记录集1); };
  编辑框手机号->按下某键 = [this](std::int32_t 键代码,
                                  std::int32_t 功能键状态) -> std::optional<bool> {
    编辑框手机号_按下某键(*this, *数据库连接1, *记录集1, 键代码, 功能键状态);
    return std::nullopt;
  };
  超级按钮更新->被单击 = 超级按钮更新_被单击;
  超级按钮链接->被单击 = 超级按钮链接_被单击;
}

启动窗口::~启动窗口() {
  // The record set refers to the connection, so it goes first.
  记录集1.reset();
  数据库连接1.reset();
}

std::string 启动窗口::号码框文本() const { return 编辑框手机号->文本(); }
void 启动窗口::置号码框文本(std::string_view 文本) { 编辑框手机号->置文本(文本); }
void 启动窗口::置结果框文本(std::string_view 文本) { 编辑框结果->置文本(文本); }
void 启动窗口::追加结果框文本(std::string_view 文本) { 编辑框结果->追加文本(文本); }
void 启动窗口::置焦点于号码框() { 编辑框手机号->置焦点(); }

void 启动窗口::显示提示框(std::string_view 消息, std::string_view 标题) {
  platform::消息框(消息, 标题, platform::消息框图标::无, platform::消息框模态::任务);
}

void 启动窗口::显示错误框(std::string_view 描述) {
  platform::消息框(描述, std::nullopt, platform::消息框图标::无, platform::消息框模态::任务);
}
