// Any bytes as a batch input: the first byte picks the options (input
// encoding, --normalize, output format, output buffer size), the rest are
// the lines.
//
//   - The whole output with the fast path equals the output without it, in
//     every format, so the fast path never judges a line otherwise than the
//     window does.
//   - A line of exactly eleven bytes: FastBlock accepts it exactly when it is
//     eleven ASCII digits beginning with 1 (read from a heap copy of exactly
//     eleven bytes, so any read beyond them is caught), and then the window's
//     verdict is leading element 1 with its first seven digits as the block.
//   - --normalize: its result is always eleven ASCII digits, and it equals a
//     second reading of the documented forms written here.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/lookup_image.h"
#include "tools/zorvane_lookup/batch_io.h"
#include "tools/zorvane_lookup/batch_judge.h"
#include "tools/zorvane_lookup/batch_lines.h"
#include "tools/zorvane_lookup/batch_records.h"
#include "tools/zorvane_lookup/batch_text.h"

namespace {

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "batch_line: %s\n", what);
  std::abort();
}

// Places whose texts need every escape the formats have.
struct Data {
  std::vector<std::uint8_t> bytes;
  lookup_image::LookupImage image;
};

const Data& TheData() {
  static const Data* data = [] {
    auto* made = new Data;
    const std::vector<lookup_image::PlaceTexts> places = {
        {"北京", "中国移动", "北京", "北京", "100000", "010"},
        {"广东 广州", "中国联通", "广东", "广州", "510000", "020"},
        {"a\tb\\c", "\"q\",\r\n", "\x7f", "\xff\xfe", "", "0"},
    };
    const std::vector<lookup_image::BlockPlace> blocks = {
        {1000000, 2}, {1380013, 1}, {1380014, 3}, {1999999, 2}};
    std::string error;
    Expect(lookup_image::Build(places, blocks, "fuzz", &made->bytes, &error) &&
               lookup_image::LookupImage::Open(made->bytes, &made->image, &error),
           "cannot build the image");
    return made;
  }();
  return *data;
}

std::string Run(batch::Format format, const batch::LineOptions& options, std::size_t capacity,
                std::string_view input) {
  static const int fd = memfd_create("batch_line", MFD_CLOEXEC);
  Expect(fd >= 0 && ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0, "memfd");
  const lookup_image::LookupImage& image = TheData().image;
  {
    const batch::RecordFormat records(format, image);
    batch::Output out(fd, capacity);
    batch::LineProcessor processor(image, records, options, &out);
    Expect(out.Append(records.header()) && processor.Process(input) && out.Flush(),
           "output failed");
  }
  const off_t size = lseek(fd, 0, SEEK_CUR);
  std::string text(static_cast<std::size_t>(size), '\0');
  Expect(pread(fd, text.data(), text.size(), 0) == size, "pread");
  return text;
}

// ---- A second reading of the --normalize forms ----

// What a code point is to the forms: a digit ('0'..'9'), '+', or a
// separator ('s': blank, dash or dot); 0 for anything else.
char Role(char32_t c, bool* blank) {
  *blank = false;
  if (c >= U'0' && c <= U'9') return static_cast<char>(c);
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<char>('0' + (c - 0xFF10));
  if (c == U'+' || c == 0xFF0B) return '+';
  if (c == U' ' || c == U'\t' || c == 0xA0 || c == 0x3000) {
    *blank = true;
    return 's';
  }
  if (c == U'-' || (c >= 0x2010 && c <= 0x2014) || c == 0x2212 || c == 0xFF0D) return 's';
  if (c == U'.' || c == 0xFF0E) return 's';
  return 0;
}

std::optional<std::string> NormalizeReference(std::string_view utf8) {
  std::u32string points;
  std::u16string utf16;
  for (std::size_t i = 0; i < utf8.size();) {
    // Valid UTF-8 (the caller sanitized it).
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : b & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
    points += c;
    i += n;
  }
  std::string roles;
  std::vector<bool> blanks;
  for (char32_t c : points) {
    bool blank;
    const char r = Role(c, &blank);
    if (r == 0) return std::nullopt;
    roles += r;
    blanks.push_back(blank);
  }
  std::size_t first = 0;
  std::size_t last = roles.size();
  while (first < last && blanks[first]) ++first;
  while (last > first && blanks[last - 1]) --last;
  const std::string_view kept = std::string_view(roles).substr(first, last - first);

  // Every separator needs a digit as its nearest non-separator on each side.
  std::vector<char> left(kept.size());
  char seen = 0;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    left[i] = seen;
    if (kept[i] != 's') seen = kept[i];
  }
  seen = 0;
  std::string digits;
  for (std::size_t i = kept.size(); i-- > 0;) {
    if (kept[i] == 's') {
      const bool digit_left = left[i] >= '0' && left[i] <= '9';
      const bool digit_right = seen >= '0' && seen <= '9';
      if (!digit_left || !digit_right) return std::nullopt;
    } else {
      seen = kept[i];
    }
  }
  for (char c : kept) {
    if (c != 's') digits += c;
  }
  if (digits.size() == 14 && digits.compare(0, 3, "+86") == 0) digits.erase(0, 3);
  if (digits.size() == 15 && digits.compare(0, 4, "0086") == 0) digits.erase(0, 4);
  if (digits.size() == 13 && digits.compare(0, 2, "86") == 0) digits.erase(0, 2);
  if (digits.size() != 11 || digits.find('+') != std::string::npos) return std::nullopt;
  return digits;
}

void CheckLine(std::string_view line) {
  if (line.size() == 11) {
    const std::unique_ptr<char[]> exact(new char[11]);
    std::memcpy(exact.get(), line.data(), 11);
    const std::uint32_t fast = batch::FastBlock(exact.get());
    bool common = line[0] == '1';
    for (char c : line) common = common && c >= '0' && c <= '9';
    Expect((fast != 0) == common, "FastBlock accepts exactly the eleven digits beginning with 1");
    if (common) {
      const batch::WindowVerdict verdict = batch::JudgeAsWindow(line);
      Expect(verdict.leading == 1, "an eleven-digit number beginning with 1 is accepted");
      Expect(verdict.block == line.substr(0, 7), "its block is its first seven digits");
      Expect(verdict.block_number == fast, "FastBlock gives the block's number");
    }
  }

  const std::string shown = batch::SanitizeUtf8(line);
  const std::optional<std::string> normalized = batch::NormalizeNumber(shown);
  if (normalized) {
    Expect(normalized->size() == 11, "a normalized number has eleven characters");
    for (char c : *normalized) Expect(c >= '0' && c <= '9', "a normalized number is digits");
  }
  Expect(normalized == NormalizeReference(shown), "--normalize differs from the forms");
  (void)batch::NormalizeNumber(line);  // ill-formed bytes: no crash, no read beyond
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  batch::LineOptions options;
  options.encoding = (flags & 1) != 0 ? batch::Encoding::kGbk : batch::Encoding::kUtf8;
  options.normalize = (flags & 2) != 0;
  const auto format = static_cast<batch::Format>(((flags >> 2) & 3) % 3);
  // Small buffers make records cross flushes and outgrow the buffer.
  const std::size_t capacity = std::size_t{96} << ((flags >> 4) & 7);

  const std::string fast = Run(format, options, capacity, input);
  options.fast_path = false;
  const std::string general = Run(format, options, capacity, input);
  Expect(fast == general, "the fast path wrote other records than the general path");

  for (std::string_view rest = input; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    CheckLine(line);
  }
  return 0;
}
