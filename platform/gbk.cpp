#include "platform/gbk.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

static_assert(std::endian::native == std::endian::little, "char16_t crosses iconv as UTF-16LE");

// Bytes to skip over a sequence that iconv rejected: one whole character, so
// that each lost character becomes exactly one replacement.
std::size_t SkipGbk(const unsigned char* p, std::size_t left) {
  bool pair =
      left >= 2 && p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F;
  return pair ? 2 : 1;
}

std::size_t SkipUtf8(const unsigned char* p, std::size_t left) {
  std::size_t n = 1;
  if (p[0] >= 0xF0) {
    n = 4;
  } else if (p[0] >= 0xE0) {
    n = 3;
  } else if (p[0] >= 0xC0) {
    n = 2;
  }
  // Only continuation bytes belong to the sequence.
  std::size_t i = 1;
  while (i < n && i < left && (p[i] & 0xC0) == 0x80) ++i;
  return i;
}

std::size_t SkipUtf16(const unsigned char* p, std::size_t left) {
  if (left < 4) return left < 2 ? left : 2;
  char16_t lead;
  char16_t trail;
  std::memcpy(&lead, p, 2);
  std::memcpy(&trail, p + 2, 2);
  bool pair = lead >= 0xD800 && lead < 0xDC00 && trail >= 0xDC00 && trail < 0xE000;
  return pair ? 4 : 2;
}

// iconv_open costs more than a short conversion, so each thread keeps one
// descriptor per direction, reset before every use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  iconv_t cd_;
};

// One conversion with iconv. A sequence the source encoding rejects, or a
// character the target cannot hold, is replaced and conversion goes on, so a
// text is never cut short.
template <typename Out>
Out Convert(const Converter& converter, const void* data, std::size_t bytes,
            std::size_t (*skip)(const unsigned char*, std::size_t), const Out& replacement) {
  Out out;
  if (bytes == 0) return out;
  if (!converter.ok()) return out;
  iconv_t cd = converter.get();

  auto* in = const_cast<char*>(static_cast<const char*>(data));
  std::size_t in_left = bytes;
  char buffer[4096];
  while (in_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    std::size_t rc = iconv(cd, &in, &in_left, &dst, &dst_left);
    int error = errno;
    std::size_t produced = (sizeof buffer - dst_left) / sizeof(typename Out::value_type);
    out.append(reinterpret_cast<const typename Out::value_type*>(buffer), produced);
    if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    std::size_t n = skip(reinterpret_cast<const unsigned char*>(in), in_left);
    in += n;
    in_left -= n;
    out += replacement;
  }
  return out;
}

}  // namespace

std::u16string GbkToUnicode(std::string_view gbk) {
  thread_local const Converter converter("UTF-16LE", "GBK");
  return Convert<std::u16string>(converter, gbk.data(), gbk.size(), SkipGbk, u"\uFFFD");
}

std::string UnicodeToGbk(std::u16string_view text) {
  thread_local const Converter converter("GBK", "UTF-16LE");
  return Convert<std::string>(converter, text.data(), text.size() * sizeof(char16_t), SkipUtf16,
                              "?");
}

std::string GbkToUtf8(std::string_view gbk) {
  thread_local const Converter converter("UTF-8", "GBK");
  return Convert<std::string>(converter, gbk.data(), gbk.size(), SkipGbk, "\xEF\xBF\xBD");
}

std::string Utf8ToGbk(std::string_view utf8) {
  thread_local const Converter converter("GBK", "UTF-8");
  return Convert<std::string>(converter, utf8.data(), utf8.size(), SkipUtf8, "?");
}

}  // namespace platform
