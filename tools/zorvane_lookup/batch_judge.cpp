#include "tools/zorvane_lookup/batch_judge.h"

#include <vector>

#include "lookup/decompose.h"
#include "lookup/number_box.h"

namespace batch {

std::string_view StatusName(Status status) {
  switch (status) {
    case Status::kOk:
      return "ok";
    case Status::kNotFound:
      return "not_found";
    case Status::kBadLength:
      return "bad_length";
    case Status::kBadPrefix:
      return "bad_prefix";
  }
  return "?";
}

WindowVerdict JudgeAsWindow(std::string_view gbk_text) {
  分解结果 结果 = 分解文本(截取号码框容量(gbk_text));
  WindowVerdict verdict;
  verdict.leading = 结果.各位数字[0];
  verdict.block = std::move(结果.号段);
  if (verdict.leading == 1) {
    // Leading element 1 means 10^10 <= value < 2*10^10: the block is the
    // seven digits of elements 1 to 7.
    for (std::size_t k = 0; k < 7; ++k) {
      verdict.block_number =
          verdict.block_number * 10 + static_cast<std::uint32_t>(结果.各位数字[k]);
    }
  }
  return verdict;
}

namespace {

enum class Kind : std::uint8_t { kDigit, kPlus, kBlank, kDash, kDot, kOther };

struct Token {
  Kind kind;
  char digit;  // the ASCII digit, for kDigit
};

// Decodes one code point of valid UTF-8 at s[*i] and advances *i.
char32_t NextCodePoint(std::string_view s, std::size_t* i) {
  const auto b0 = static_cast<unsigned char>(s[*i]);
  std::size_t n = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
  if (*i + n > s.size()) n = s.size() - *i;
  char32_t c = n == 1 ? b0 : n == 2 ? (b0 & 0x1Fu) : n == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
  for (std::size_t k = 1; k < n; ++k)
    c = (c << 6) | (static_cast<unsigned char>(s[*i + k]) & 0x3Fu);
  *i += n;
  return c;
}

Token Classify(char32_t c) {
  if (c >= U'0' && c <= U'9') return {Kind::kDigit, static_cast<char>(c)};
  if (c >= U'\uFF10' && c <= U'\uFF19')
    return {Kind::kDigit, static_cast<char>('0' + (c - 0xFF10))};
  switch (c) {
    case U'+':
    case U'\uFF0B':
      return {Kind::kPlus, 0};
    case U' ':
    case U'\t':
    case U'\u00A0':
    case U'\u3000':
      return {Kind::kBlank, 0};
    case U'-':
    case U'\u2010':
    case U'\u2011':
    case U'\u2012':
    case U'\u2013':
    case U'\u2014':
    case U'\u2212':
    case U'\uFF0D':
      return {Kind::kDash, 0};
    case U'.':
    case U'\uFF0E':
      return {Kind::kDot, 0};
    default:
      return {Kind::kOther, 0};
  }
}

bool IsSeparator(Kind k) { return k == Kind::kBlank || k == Kind::kDash || k == Kind::kDot; }

}  // namespace

std::optional<std::string> NormalizeNumber(std::string_view utf8) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < utf8.size();) {
    const Token t = Classify(NextCodePoint(utf8, &i));
    if (t.kind == Kind::kOther) return std::nullopt;  // can never become all digits
    tokens.push_back(t);
  }

  std::size_t begin = 0;
  std::size_t end = tokens.size();
  while (begin < end && tokens[begin].kind == Kind::kBlank) ++begin;
  while (end > begin && tokens[end - 1].kind == Kind::kBlank) --end;

  std::string text;  // ASCII: digits and plus signs, and separators that stay
  for (std::size_t i = begin; i < end;) {
    if (IsSeparator(tokens[i].kind)) {
      std::size_t j = i;
      while (j < end && IsSeparator(tokens[j].kind)) ++j;
      const bool between_digits = i > begin && tokens[i - 1].kind == Kind::kDigit && j < end &&
                                  tokens[j].kind == Kind::kDigit;
      if (!between_digits) return std::nullopt;  // a separator that stays is not a digit
      i = j;
      continue;
    }
    text += tokens[i].kind == Kind::kDigit ? tokens[i].digit : '+';
    ++i;
  }

  for (std::string_view prefix : {"+86", "0086", "86"}) {
    if (text.size() == prefix.size() + 11 && text.starts_with(prefix)) {
      text.erase(0, prefix.size());
      break;
    }
  }
  if (text.size() != 11) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return text;
}

}  // namespace batch
