#include "app/web_links.h"

#include "platform/window/shell.h"

void 超级按钮更新_被单击() { 打开网址(kDownloadPageUrl); }

void 超级按钮链接_被单击() { 打开网址(kHomePageUrl); }

void 打开网址(std::string_view 网址) {
  platform::外壳& 外壳 = platform::当前外壳();
  QWidget* 所有者 = 外壳.查找窗口("Microsoft Internet Explorer");
  外壳.执行(所有者, "open", 网址);
}
