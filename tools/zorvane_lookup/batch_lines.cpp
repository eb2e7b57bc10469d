#include "tools/zorvane_lookup/batch_lines.h"

#include <cstring>
#include <numeric>

#include "platform/gbk.h"
#include "tools/zorvane_lookup/batch_text.h"

namespace batch {
namespace {

constexpr std::size_t kDigits = 11;
constexpr std::size_t kBlockDigits = 7;
constexpr std::size_t kRun = 32;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos;
}

}  // namespace

LineProcessor::LineProcessor(const lookup_image::LookupImage& image, const RecordFormat& format,
                             const LineOptions& options, Output* out)
    : image_(image),
      format_(format),
      options_(options),
      out_(out),
      fast_record_size_(kDigits + kBlockDigits + format.max_pieces_size()),
      place_counts_(image.place_count() + 1u, 0) {}

bool LineProcessor::Process(std::string_view piece) {
  const char* p = piece.data();
  const char* const end = p + piece.size();
  const Piece head = format_.head();
  const Piece ok = format_.mid(Status::kOk);
  const Piece not_found = format_.mid(Status::kNotFound);
  while (p < end) {
    // A run of common lines: eleven digits beginning with 1, then LF or
    // CR LF. Their places are looked up together, so that the misses in the
    // block table overlap instead of queueing behind each other.
    const char* line[kRun];
    std::uint32_t block[kRun];
    std::size_t n = 0;
    while (n < kRun && options_.fast_path && end - p > static_cast<std::ptrdiff_t>(kDigits)) {
      const std::uint32_t b = FastBlock(p);
      std::size_t length = 0;
      if (b != 0) {
        if (p[kDigits] == '\n') {
          length = kDigits + 1;
        } else if (p[kDigits] == '\r' && end - p > static_cast<std::ptrdiff_t>(kDigits + 1) &&
                   p[kDigits + 1] == '\n') {
          length = kDigits + 2;
        }
      }
      if (length == 0) break;
      line[n] = p;
      block[n++] = b;
      p += length;
    }
    if (n != 0) {
      std::uint16_t place[kRun];
      for (std::size_t i = 0; i < n; ++i) place[i] = image_.PlaceId(block[i]);
      char* o = out_->Reserve(n * fast_record_size_);
      if (o == nullptr) return false;
      // Locals, not members: every byte stored through o may alias a member,
      // which would be loaded again after each store.
      std::uint64_t* const counts = place_counts_.data();
      const Piece* const tails = &format_.tail(0);
      for (std::size_t i = 0; i < n; ++i) {
        ++counts[place[i]];
        if (head.size != 0) o = PutPiece<16>(o, head);
        std::memcpy(o, line[i], kDigits);
        o += kDigits;
        o = PutPiece<32>(o, place[i] != 0 ? ok : not_found);
        std::memcpy(o, line[i], 8);  // the eighth byte is overwritten next
        o += kBlockDigits;
        o = PutPiece(o, tails[place[i]]);
      }
      out_->Commit(o);
      if (n == kRun) continue;
    }
    if (p >= end) break;
    const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* line_end = nl ? static_cast<const char*>(nl) : end;
    if (!ProcessLine(std::string_view(p, static_cast<std::size_t>(line_end - p)))) return false;
    p = nl ? line_end + 1 : end;
  }
  return true;
}

bool LineProcessor::ProcessLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (IsBlank(line)) return true;

  // The line as the record shows it (UTF-8) and as the number box would hold
  // it (GBK). An ill-formed UTF-8 input shows U+FFFD and reaches the box as
  // the conversion of the console front end leaves it (a question mark).
  std::string_view shown = line;
  std::string_view gbk = line;
  if (!IsAscii(line)) {
    if (options_.encoding == Encoding::kUtf8) {
      if (!IsValidUtf8(line)) shown = shown_ = SanitizeUtf8(line);
      gbk = gbk_ = platform::Utf8ToGbk(line);
    } else {
      shown = shown_ = platform::GbkToUtf8(line);
    }
  }

  std::string_view judged = gbk;
  if (options_.normalize) {
    if (std::optional<std::string> number = NormalizeNumber(shown)) judged = normalized_ = *number;
  }

  std::int32_t leading;
  std::uint32_t block_number;
  std::string_view block;
  WindowVerdict verdict;
  if (options_.fast_path && judged.size() == kDigits && (block_number = FastBlock(judged.data()))) {
    leading = 1;
    block = judged.substr(0, kBlockDigits);
  } else {
    verdict = JudgeAsWindow(judged);
    leading = verdict.leading;
    block_number = verdict.block_number;
    block = verdict.block;
  }
  const std::uint16_t place = leading == 1 ? image_.PlaceId(block_number) : 0;
  const Status status = StatusOf(leading, place != 0);
  if (leading == 1) {
    ++place_counts_[place];
  } else {
    ++rejected_[status == Status::kBadLength ? 0 : 1];
  }

  char* o = out_->Reserve(RecordFormat::MaxInputSize(shown.size()) + block.size() +
                          format_.max_pieces_size());
  if (o == nullptr) return false;
  o = PutPiece(o, format_.head());
  o = format_.PutInput(o, shown);
  o = PutPiece(o, format_.mid(status));
  std::memcpy(o, block.data(), block.size());
  o += block.size();
  o = PutPiece(o, format_.tail(place));
  out_->Commit(o);
  return true;
}

std::uint64_t LineProcessor::count(Status status) const {
  switch (status) {
    case Status::kOk:
      return std::accumulate(place_counts_.begin() + 1, place_counts_.end(), std::uint64_t{0});
    case Status::kNotFound:
      return place_counts_[0];
    case Status::kBadLength:
      return rejected_[0];
    case Status::kBadPrefix:
      return rejected_[1];
  }
  return 0;
}

std::uint64_t LineProcessor::records() const {
  return std::accumulate(place_counts_.begin(), place_counts_.end(), std::uint64_t{0}) +
         rejected_[0] + rejected_[1];
}

}  // namespace batch
