// Message boxes without owner window. Each call blocks in a local event loop
// until the box is closed.
#pragma once

#include <optional>
#include <string_view>

namespace platform {

enum class 消息框图标 { 无, 错误 };

enum class 消息框模态 {
  无,    // the program's other windows stay usable
  任务,  // every other window of the program is disabled while it is up
};

// An absent title leaves the caption to the platform's default.
void 消息框(std::string_view 消息, std::optional<std::string_view> 标题, 消息框图标 图标,
            消息框模态 模态);

}  // namespace platform
