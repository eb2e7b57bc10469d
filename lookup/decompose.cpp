#include "lookup/decompose.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "lookup/query_view.h"

std::string 号段;
std::int32_t 首位数字 = 0;

namespace {

// The text as ASCII, as far as it can take part in a number: the full-width
// forms of row 0xA3 fold to their ASCII characters and the ideographic space
// to a blank; the first other double-byte character ends it.
std::string 折叠全角(std::string_view 文本) {
  std::string ascii;
  ascii.reserve(文本.size());
  for (std::size_t i = 0; i < 文本.size();) {
    auto 字节 = static_cast<unsigned char>(文本[i]);
    if (字节 < 0x80) {
      ascii += static_cast<char>(字节);
      ++i;
      continue;
    }
    if (i + 1 >= 文本.size()) break;
    auto 次字节 = static_cast<unsigned char>(文本[i + 1]);
    if (字节 == 0xA3 && 次字节 >= 0xA1 && 次字节 <= 0xFE) {
      ascii += static_cast<char>(次字节 - 0x80);
    } else if (字节 == 0xA1 && 次字节 == 0xA1) {
      ascii += ' ';
    } else {
      break;
    }
    i += 2;
  }
  return ascii;
}

bool 是数字(char c) { return c >= '0' && c <= '9'; }

// The longest prefix of the form  [+-] digits [. digits] [(e|E|d|D) [+-] digits]
// with at least one digit in the mantissa, rewritten for strtod (the exponent
// letter as 'e'); empty when there is none.
std::string 数值前缀(std::string_view s) {
  std::size_t i = 0;
  std::string 前缀;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) 前缀 += s[i++];
  std::size_t 位数 = 0;
  while (i < s.size() && 是数字(s[i])) {
    前缀 += s[i++];
    ++位数;
  }
  if (i < s.size() && s[i] == '.') {
    前缀 += s[i++];
    while (i < s.size() && 是数字(s[i])) {
      前缀 += s[i++];
      ++位数;
    }
  }
  if (位数 == 0) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && 是数字(s[j])) {
      前缀 += 'e';
      前缀.append(s.substr(i + 1, j - i - 1));
      while (j < s.size() && 是数字(s[j])) 前缀 += s[j++];
    }
  }
  return 前缀;
}

// strtod in the "C" locale: the window's toolkit may have set another one,
// whose decimal point is not '.'.
double 转换为双精度(const std::string& 前缀) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(前缀.c_str(), nullptr, c_locale);
}

std::int64_t 截为整数(double 值) {
  // A magnitude of 2^63 or more (and infinity) has no 64-bit value; the
  // conversion yields the integer indefinite, the most negative value.
  constexpr double kTwo63 = 9223372036854775808.0;
  if (!(std::fabs(值) < kTwo63)) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(值);  // truncates toward zero
}

}  // namespace

double 文本转数值(std::string_view 文本) {
  std::string ascii = 折叠全角(文本);
  std::size_t 起点 = ascii.find_first_not_of(" \t\n\v\f\r");
  if (起点 == std::string::npos) return 0;
  std::string 前缀 = 数值前缀(std::string_view(ascii).substr(起点));
  return 前缀.empty() ? 0 : 转换为双精度(前缀);
}

分解结果 分解文本(std::string_view 文本) {
  static constexpr double kDivisors[] = {1e10, 1e9, 1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1};

  分解结果 结果;
  结果.号码数值 = 截为整数(文本转数值(文本));
  const auto x = static_cast<double>(结果.号码数值);

  结果.各位数字[0] = static_cast<std::int32_t>(std::floor(x / kDivisors[0]));
  // Element k (1-based) divides what k-1 successive remainders, the first by
  // 10^10, leave; element 11 is that remainder itself. fmod is the exact
  // truncated remainder.
  double 余数 = x;
  for (std::size_t k = 1; k < 11; ++k) {
    余数 = std::fmod(余数, kDivisors[k - 1]);
    const double 商 = k < 10 ? 余数 / kDivisors[k] : 余数;
    结果.各位数字[k] = static_cast<std::int32_t>(std::floor(商));
  }

  for (std::size_t k = 0; k < 7; ++k) 结果.号段 += std::to_string(结果.各位数字[k]);
  return 结果;
}

void 分解号码(const 查询界面& 界面) {
  分解结果 结果 = 分解文本(界面.号码框文本());
  首位数字 = 结果.各位数字[0];
  号段 = std::move(结果.号段);
}

std::string 加引号(std::string_view 号段文本) {
  std::string 引用 = "'";
  for (std::size_t i = 0; i < 号段文本.size();) {
    auto 字节 = static_cast<unsigned char>(号段文本[i]);
    std::size_t 长度 = (字节 >= 0x80 && i + 1 < 号段文本.size()) ? 2 : 1;
    if (长度 == 1 && 字节 == '\'') 引用 += '\'';
    引用.append(号段文本.substr(i, 长度));
    i += 长度;
  }
  引用 += '\'';
  return 引用;
}
