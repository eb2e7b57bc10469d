// The number box's rule for text that is typed or pasted into it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The box holds at most this many bytes of GBK text (a double-byte character
// counts as two).
inline constexpr std::size_t kNumberBoxLimit = 11;

// What is left of a pasted GBK text in the empty number box: its longest
// prefix of whole characters that fits the limit, never split inside a
// double-byte character.
std::string 截取号码框容量(std::string_view 文本);

// Length in bytes of the GBK character that starts at text[0] (1 or 2): a lead
// byte 0x81-0xFE followed by a trail byte 0x40-0xFE other than 0x7F is one
// double-byte character.
std::size_t Gbk字符长度(std::string_view 文本);
