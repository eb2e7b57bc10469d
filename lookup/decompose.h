// The number decomposition: what the number box holds, turned into the leading
// digit that judges the input and the seven-digit number block that keys the
// location database.
//
// The text is not taken apart character by character. It is converted to a
// double, truncated to a 64-bit integer and split by floating-point division
// and remainder by powers of ten; that arithmetic decides how every input is
// treated, including input that is not a mobile number.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class 查询界面;

// The block of the last decomposition (GBK; empty at start) and its leading
// element (0 at start). Read by the lookup command; 号段 is released at exit.
extern std::string 号段;
extern std::int32_t 首位数字;

struct 分解结果 {
  std::int64_t 号码数值 = 0;
  std::array<std::int32_t, 11> 各位数字{};  // [0] is element 1
  std::string 号段;
};

// The value of the longest numeric prefix of a GBK text, after folding the
// full-width forms of row 0xA3 and the ideographic space to ASCII and skipping
// leading white space; 0 when there is none.
double 文本转数值(std::string_view 文本);

// The whole decomposition of a GBK text.
分解结果 分解文本(std::string_view 文本);

// Decomposes the number box's text into 首位数字 and 号段.
void 分解号码(const 查询界面& 界面);

// 号段 as an SQL string literal: single quotes doubled (never inside a
// double-byte character), then enclosed in single quotes.
std::string 加引号(std::string_view 号段文本);
