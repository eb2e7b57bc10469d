// How the batch lookup judges one input line: exactly as the window judges
// the same text pasted into its number box, so that the two never disagree.
//
// The general path runs the window's own code (the box's paste cut, then the
// decomposition). The fast path answers the common line, eleven ASCII digits
// beginning with 1, without it: such a text fits the box unchanged and its
// value is below 2^53, so the decomposition gives leading element 1 and the
// first seven digits as the block. The tests compare the two paths.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace batch {

enum class Status : std::uint8_t { kOk = 0, kNotFound = 1, kBadLength = 2, kBadPrefix = 3 };
inline constexpr std::size_t kStatusCount = 4;

// "ok", "not_found", "bad_length", "bad_prefix".
std::string_view StatusName(Status status);

// The window's verdict on a GBK text pasted into its empty number box.
struct WindowVerdict {
  std::int32_t leading = 0;        // 首位数字: 1 accepts, 0 is the digit-count message
  std::string block;               // 号段: the block the window's statement asks for
  std::uint32_t block_number = 0;  // that block as a number, when leading is 1
};

WindowVerdict JudgeAsWindow(std::string_view gbk_text);

// The status of a verdict, given whether its block has a row.
inline Status StatusOf(std::int32_t leading, bool found) {
  if (leading == 1) return found ? Status::kOk : Status::kNotFound;
  return leading == 0 ? Status::kBadLength : Status::kBadPrefix;
}

// The block of the common line: p[0..10] are eleven ASCII digits and p[0] is
// '1'. Returns 1000000..1999999, or 0 when the eleven bytes are not of that
// form. Reads exactly eleven bytes.
inline std::uint32_t FastBlock(const char* p) noexcept {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  constexpr std::uint64_t kZeros = 0x3030303030303030u;
  constexpr std::uint64_t kSix = 0x0606060606060606u;
  std::uint64_t a;  // bytes 0..7
  std::uint32_t b;  // bytes 7..10
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 7, 4);
  // A byte is a digit when its high nibble is 3 both as it is and plus six;
  // a carry out of a byte can only come from one that fails the first test.
  const bool digits =
      (a & kHigh) == kZeros && ((a + kSix) & kHigh) == kZeros &&
      (b & static_cast<std::uint32_t>(kHigh)) == static_cast<std::uint32_t>(kZeros) &&
      ((b + static_cast<std::uint32_t>(kSix)) & static_cast<std::uint32_t>(kHigh)) ==
          static_cast<std::uint32_t>(kZeros);
  if (!digits || p[0] != '1') return 0;
  std::uint32_t block = 1;
  for (int i = 1; i < 7; ++i) block = block * 10 + static_cast<std::uint32_t>(p[i] - '0');
  return block;
}

// --normalize: the eleven ASCII digits that a pasted form of a mobile number
// stands for, or nothing when the text (UTF-8) is not such a form. The forms:
//   1. blanks (space, tab, no-break space, ideographic space) at either end
//      are dropped;
//   2. every run of blanks, dashes (- ‐ ‑ ‒ – — − －) and dots (. ．) with a
//      digit on both sides is dropped;
//   3. full-width digits count as digits, a full-width plus as a plus;
//   4. a leading +86, 0086 or 86 is dropped when exactly eleven digits follow.
// Only a result of exactly eleven digits is used; any other text is judged
// as it stands.
std::optional<std::string> NormalizeNumber(std::string_view utf8);

}  // namespace batch
