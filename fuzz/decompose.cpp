// The number box's text (GBK bytes of any length) through the decomposition,
// checked against a second computation that shares none of its code:
//
//   text to number: a state machine over the folded characters and
//     std::from_chars (not strtod) for the conversion;
//   number to elements: exact integer arithmetic. Elements 2 to 11 divide an
//     exact integer remainder smaller than 10^10 by a power of ten, so the
//     double quotient lies at least 10^-9 from any integer it does not equal,
//     far more than its rounding error: flooring it is integer floor
//     division. Element 1 divides x, which may be as large as 2^63. A
//     quotient just below an integer k could round up to k; for a double x it
//     cannot (x stays at least ulp(x) from k * 10^10, and ulp(x) / 10^10 is
//     more than half the quotient's ulp), but rather than rely on that, the
//     rounding is modelled exactly: whether x / 10^10 rounds up to floor + 1
//     is decided by comparing it, in 128-bit integers, with the midpoint
//     between floor + 1 and the double just below it.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "lookup/decompose.h"

namespace {

__extension__ typedef __int128 Int128;

constexpr Int128 kTenTo10 = 10000000000;

[[noreturn]] void Fail(const char* what, long long expected, long long got) {
  std::fprintf(stderr, "decompose: %s: expected %lld, got %lld\n", what, expected, got);
  std::abort();
}

void Expect(bool holds, const char* what) {
  if (!holds) Fail(what, 1, 0);
}

// ---- Text to number ----

// The character the number rule sees at t[*i], and where the next one starts:
// ASCII as it is, the full-width forms of row 0xA3 and the ideographic space
// as their ASCII counterparts; '\x80' for anything else that is not ASCII,
// which ends every number.
char NextCharacter(std::string_view t, std::size_t* i) {
  const auto lead = static_cast<unsigned char>(t[*i]);
  if (lead < 0x80) {
    *i += 1;
    return static_cast<char>(lead);
  }
  if (*i + 1 < t.size()) {
    const auto trail = static_cast<unsigned char>(t[*i + 1]);
    if ((lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) || (lead == 0xA1 && trail == 0xA1)) {
      *i += 2;
      return lead == 0xA1 ? ' ' : static_cast<char>(trail - 0x80);
    }
  }
  *i = t.size();
  return '\x80';
}

struct Scanned {
  bool negative = false;
  std::string integer;   // digits before the point
  std::string fraction;  // digits after it
  bool has_exponent = false;
  bool exponent_negative = false;
  std::string exponent;  // digits
};

// The longest number at the start of the text, by a state machine that
// remembers its last accepting state; false when there is none.
bool Scan(std::string_view t, Scanned* out) {
  enum State { kStart, kSign, kInteger, kPoint, kFraction, kLetter, kExpSign, kExpDigits };
  State state = kStart;
  Scanned current;
  bool accepted = false;
  Scanned best;
  std::size_t i = 0;
  while (i < t.size()) {
    const char c = NextCharacter(t, &i);
    const bool digit = c >= '0' && c <= '9';
    switch (state) {
      case kStart:
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') continue;
        if (c == '+' || c == '-') {
          current.negative = c == '-';
          state = kSign;
        } else if (digit) {
          current.integer += c;
          state = kInteger;
        } else if (c == '.') {
          state = kPoint;
        } else {
          return false;
        }
        break;
      case kSign:
        if (digit) {
          current.integer += c;
          state = kInteger;
        } else if (c == '.') {
          state = kPoint;
        } else {
          i = t.size();
        }
        break;
      case kInteger:
      case kFraction:
        if (digit) {
          (state == kInteger ? current.integer : current.fraction) += c;
        } else if (c == '.' && state == kInteger) {
          state = kFraction;
        } else if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
          state = kLetter;
        } else {
          i = t.size();
        }
        break;
      case kPoint:  // a point with no digit before it
        if (digit) {
          current.fraction += c;
          state = kFraction;
        } else {
          i = t.size();
        }
        break;
      case kLetter:
      case kExpSign:
        if (digit) {
          current.has_exponent = true;
          current.exponent += c;
          state = kExpDigits;
        } else if (state == kLetter && (c == '+' || c == '-')) {
          current.exponent_negative = c == '-';
          state = kExpSign;
        } else {
          i = t.size();
        }
        break;
      case kExpDigits:
        if (digit) {
          current.exponent += c;
        } else {
          i = t.size();
        }
        break;
    }
    if (state == kInteger || state == kFraction || state == kExpDigits) {
      accepted = true;
      best = current;
    }
  }
  if (accepted) *out = best;
  return accepted;
}

// The nearest double of a scanned number; nothing when from_chars finds it
// out of range, and then *overflow tells which end.
bool Convert(const Scanned& s, double* value, bool* overflow) {
  std::string text;
  if (s.negative) text += '-';
  text += s.integer.empty() ? "0" : s.integer;
  if (!s.fraction.empty()) text += "." + s.fraction;
  if (s.has_exponent) text += std::string("e") + (s.exponent_negative ? "-" : "") + s.exponent;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  if (end != text.data() + text.size() && error == std::errc())
    Fail("from_chars stopped early", 0, 0);
  if (error == std::errc()) return true;
  // The decimal exponent of the leading non-zero digit decides the end.
  const std::string digits = s.integer + s.fraction;
  const std::size_t first = digits.find_first_not_of('0');
  long long exponent = 0;
  for (char c : s.exponent) exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
  if (s.exponent_negative) exponent = -exponent;
  const long long magnitude =
      static_cast<long long>(s.integer.size()) - 1 - static_cast<long long>(first) + exponent;
  *overflow = magnitude >= 0;
  return false;
}

// ---- Number to elements ----

Int128 FloorDiv(Int128 a, Int128 b) {
  Int128 q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

// n converted to the nearest double (ties to even), as an exact integer.
Int128 NearestDouble(std::int64_t n) {
  const bool negative = n < 0;
  unsigned __int128 m = negative ? -static_cast<Int128>(n) : n;
  int length = 0;
  while ((m >> length) != 0) ++length;
  if (length > 53) {
    const int cut = length - 53;
    unsigned __int128 kept = m >> cut;
    const unsigned __int128 rest = m & ((static_cast<unsigned __int128>(1) << cut) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (cut - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
    m = kept << cut;
  }
  return negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
}

// floor(RN(x / 10^10)) for an integer-valued double x (|x| <= 2^63).
Int128 LeadingElement(Int128 x) {
  const Int128 below = FloorDiv(x, kTenTo10);
  const Int128 up = below + 1;
  if (x == below * kTenTo10 || up == 0) return below;  // exact, or no double rounds to 0
  const double up_double = static_cast<double>(static_cast<std::int64_t>(up));
  const double neighbour = std::nextafter(up_double, -std::numeric_limits<double>::infinity());
  // Both scaled by 2^54 are even integers (every double here has an ulp of
  // at least 2^-53), so their mean, the midpoint scaled, is an integer.
  const auto scaled = [](double d) { return static_cast<Int128>(std::ldexp(d, 54)); };
  const Int128 midpoint = (scaled(up_double) + scaled(neighbour)) / 2;
  const Int128 lhs = x * (static_cast<Int128>(1) << 54);
  const Int128 rhs = midpoint * kTenTo10;
  if (lhs > rhs) return up;
  if (lhs < rhs) return below;
  return (std::bit_cast<std::uint64_t>(up_double) & 1) == 0 ? up : below;  // ties to even
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const 分解结果 result = 分解文本(text);
  const double value = 文本转数值(text);

  // Text to number.
  Scanned scanned;
  std::int64_t number = 0;
  if (Scan(text, &scanned)) {
    double reference = 0;
    bool overflow = false;
    if (Convert(scanned, &reference, &overflow)) {
      if (std::bit_cast<std::uint64_t>(reference) != std::bit_cast<std::uint64_t>(value)) {
        Fail("文本转数值 differs from from_chars (bits)",
             static_cast<long long>(std::bit_cast<std::uint64_t>(reference)),
             static_cast<long long>(std::bit_cast<std::uint64_t>(value)));
      }
      constexpr double kTwo63 = 9223372036854775808.0;
      number = reference >= kTwo63 || reference <= -kTwo63
                   ? std::numeric_limits<std::int64_t>::min()
                   : static_cast<std::int64_t>(reference);
    } else {
      number = overflow ? std::numeric_limits<std::int64_t>::min() : 0;
      if (overflow ? std::fabs(value) <= std::numeric_limits<double>::max()
                   : value >= 1 || value <= -1) {
        Fail("文本转数值 disagrees on an out-of-range value", overflow, 0);
      }
    }
    // A plain integer of up to 15 digits is exact all the way.
    const std::size_t first = scanned.integer.find_first_not_of('0');
    const std::size_t significant = first == std::string::npos ? 0 : scanned.integer.size() - first;
    if (scanned.fraction.empty() && !scanned.has_exponent && significant <= 15) {
      std::int64_t exact = 0;
      for (char c : scanned.integer) exact = exact * 10 + (c - '0');
      if (scanned.negative) exact = -exact;
      if (exact != number) Fail("号码数值 of a plain integer", exact, number);
    }
  } else if (std::bit_cast<std::uint64_t>(value) != 0) {
    Fail("文本转数值 of a text without a number", 0, static_cast<long long>(value));
  }
  if (result.号码数值 != number) Fail("号码数值", number, result.号码数值);

  // Number to elements.
  const Int128 x = NearestDouble(result.号码数值);
  std::int64_t expected[11];
  expected[0] = static_cast<std::int64_t>(LeadingElement(x));
  Int128 power = kTenTo10;  // 10^(12-k) for element k
  for (int k = 2; k <= 11; ++k) {
    const Int128 remainder = x % power;  // truncated, as rem(rem(x, 10^10), ...) is
    power /= 10;
    expected[k - 1] = static_cast<std::int64_t>(k < 11 ? FloorDiv(remainder, power) : remainder);
  }
  std::string block;
  for (int k = 0; k < 11; ++k) {
    const std::int32_t got = result.各位数字[static_cast<std::size_t>(k)];
    if (got != expected[k]) {
      std::fprintf(stderr, "decompose: element %d of 号码数值 %lld\n", k + 1,
                   static_cast<long long>(result.号码数值));
      Fail("element", expected[k], got);
    }
    if (k == 0) {
      Expect(got >= -922337204 && got <= 922337203, "element 1 out of range");
    } else {
      Expect(got >= -10 && got <= 9, "element 2..11 out of range");
    }
    if (k < 7) {
      char digits[16];
      const auto [end, error] = std::to_chars(digits, digits + sizeof digits, got);
      Expect(error == std::errc(), "to_chars");
      block.append(digits, end);
    }
  }
  Expect(result.号段 == block, "号段 is not elements 1 to 7 joined");
  Expect(加引号(result.号段) == "'" + block + "'", "加引号 of a block");
  return 0;
}
