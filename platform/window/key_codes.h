// Qt key events as the key-down messages of the window system report them:
// a virtual-key code and the modifiers held.
#pragma once

#include <cstdint>

class QKeyEvent;

namespace platform {

inline constexpr std::int32_t kVkTab = 0x09;
inline constexpr std::int32_t kVkReturn = 0x0D;
inline constexpr std::int32_t kVkEscape = 0x1B;
inline constexpr std::int32_t kVkF1 = 0x70;

// The virtual-key code of the key (0 when it has none). The keypad's digits,
// minus, decimal point and divide report the main keyboard's codes 0x30-0x39,
// 0xBD, 0xBE and 0xBF; both Enter keys report 13.
std::int32_t 虚拟键码(const QKeyEvent& 事件);

// 1 for Ctrl, 2 for Shift, 4 for Alt held down; a modifier key being pressed
// does not report itself.
std::int32_t 功能键状态(const QKeyEvent& 事件);

}  // namespace platform
