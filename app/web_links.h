// The two web links: the page that offers the newest location database, and
// the maker's home page. Each click hands one fixed URL to the desktop shell.
#pragma once

#include <string_view>

#include "app/web_domain.h"

inline constexpr char kDownloadPageUrl[] = "http://" ZORVANE_WEB_DOMAIN "/xqg-soft-mb-chaxun.html";
inline constexpr char kHomePageUrl[] = "http://" ZORVANE_WEB_DOMAIN "/";

void 超级按钮更新_被单击();
void 超级按钮链接_被单击();

// Hands the URL to the shell, owned by a window titled "Microsoft Internet
// Explorer" when the program has one. Nothing of the outcome is looked at.
void 打开网址(std::string_view 网址);
