#include "tools/zorvane_lookup/batch_text.h"

#include <cstdint>

namespace batch {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is not one.
// *subpart is then the length of its maximal subpart (at least 1): the bytes
// that one replacement character stands for.
std::size_t SequenceLength(std::string_view s, std::size_t i, std::size_t* subpart) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  *subpart = 1;
  if (b0 < 0x80) return 1;
  std::size_t n;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if (i + k >= s.size()) return 0;
    const auto b = static_cast<unsigned char>(s[i + k]);
    if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
    *subpart = k + 1;
  }
  return n;
}

void AppendCodePoint(std::uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t subpart;
    const std::size_t n = SequenceLength(bytes, i, &subpart);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void AppendSanitizedUtf8(std::string_view bytes, std::string* out) {
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t subpart;
    const std::size_t n = SequenceLength(bytes, i, &subpart);
    if (n == 0) {
      out->append(kReplacement);
      i += subpart;
    } else {
      out->append(bytes.substr(i, n));
      i += n;
    }
  }
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  AppendSanitizedUtf8(bytes, &out);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendCodePoint(c, &out);
  }
  return out;
}

}  // namespace batch
