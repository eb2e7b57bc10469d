#include "tools/zorvane_lookup/batch_records.h"

#include <algorithm>

#include "tools/zorvane_lookup/batch_text.h"

namespace batch {
namespace {

using lookup_image::Field;

// The data fields in record order, by their place in the image.
constexpr Field kDataFields[] = {Field::kT,    Field::kArea, Field::kProvince,
                                 Field::kCity, Field::kZip,  Field::kCode};

constexpr char kHex[] = "0123456789abcdef";

bool NeedsCsvQuotes(std::string_view s) {
  return s.find_first_of(",\"\r\n") != std::string_view::npos;
}

char* PutTsv(char* out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '\\':
        *out++ = '\\';
        *out++ = '\\';
        break;
      case '\t':
        *out++ = '\\';
        *out++ = 't';
        break;
      case '\r':
        *out++ = '\\';
        *out++ = 'r';
        break;
      case '\n':
        *out++ = '\\';
        *out++ = 'n';
        break;
      default:
        *out++ = c;
    }
  }
  return out;
}

char* PutCsv(char* out, std::string_view s) {
  if (!NeedsCsvQuotes(s)) return std::copy(s.begin(), s.end(), out);
  *out++ = '"';
  for (char c : s) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

// The contents of a JSON string, without its quotes.
char* PutJson(char* out, std::string_view s) {
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      *out++ = '\\';
      *out++ = c;
    } else if (u >= 0x20) {
      *out++ = c;
    } else {
      *out++ = '\\';
      switch (c) {
        case '\b':
          *out++ = 'b';
          break;
        case '\f':
          *out++ = 'f';
          break;
        case '\n':
          *out++ = 'n';
          break;
        case '\r':
          *out++ = 'r';
          break;
        case '\t':
          *out++ = 't';
          break;
        default:
          *out++ = 'u';
          *out++ = '0';
          *out++ = '0';
          *out++ = kHex[u >> 4];
          *out++ = kHex[u & 0xF];
      }
    }
  }
  return out;
}

char* PutField(Format format, char* out, std::string_view s) {
  switch (format) {
    case Format::kTsv:
      return PutTsv(out, s);
    case Format::kCsv:
      return PutCsv(out, s);
    case Format::kJsonl:
      return PutJson(out, s);
  }
  return out;
}

// True when the format writes the text unchanged (besides JSON's quotes):
// none of the bytes that PutTsv, PutCsv or PutJson would escape.
bool NeedsNoEscape(Format format, std::string_view s) {
  switch (format) {
    case Format::kTsv:
      return s.find_first_of("\\\t\r\n") == std::string_view::npos;
    case Format::kCsv:
      return !NeedsCsvQuotes(s);
    case Format::kJsonl:
      return std::none_of(s.begin(), s.end(), [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
      });
  }
  return false;
}

void AppendField(Format format, std::string_view s, std::string* out) {
  const bool json = format == Format::kJsonl;
  if (NeedsNoEscape(format, s)) {
    if (json) out->push_back('"');
    out->append(s);
    if (json) out->push_back('"');
    return;
  }
  const std::size_t at = out->size();
  out->resize(at + RecordFormat::MaxInputSize(s.size()) + 2);
  char* p = out->data() + at;
  if (json) *p++ = '"';
  p = PutField(format, p, s);
  if (json) *p++ = '"';
  out->resize(static_cast<std::size_t>(p - out->data()));
}

// Appends what follows the block up to the end of the record: the six data
// fields of a place, or six absent ones for place 0.
void AppendTail(Format format, const lookup_image::LookupImage& image, std::uint16_t place,
                std::string* out) {
  const char separator = format == Format::kCsv ? ',' : '\t';
  std::string sanitized;
  if (format == Format::kJsonl) out->push_back('"');  // closes the block's string
  for (std::size_t i = 0; i < std::size(kDataFields); ++i) {
    std::string_view text = image.Text(place, kDataFields[i]);
    if (!IsValidUtf8(text)) text = sanitized = SanitizeUtf8(text);
    if (format == Format::kJsonl) {
      *out += ",\"";
      *out += kFieldNames[3 + i];
      *out += "\":";
      if (place != 0) {
        AppendField(format, text, out);
      } else {
        *out += "null";
      }
    } else {
      *out += separator;
      if (place != 0) AppendField(format, text, out);
    }
  }
  *out += format == Format::kJsonl ? "}\n" : format == Format::kCsv ? "\r\n" : "\n";
}

}  // namespace

RecordFormat::RecordFormat(Format format, const lookup_image::LookupImage& image)
    : format_(format) {
  const bool json = format == Format::kJsonl;
  const std::string separator = format == Format::kCsv ? "," : "\t";

  if (!json) {
    for (std::string_view name : kFieldNames) {
      header_ += name;
      header_ += separator;
    }
    header_.pop_back();
    header_ += format == Format::kCsv ? "\r\n" : "\n";
  }

  // The pieces go one after the other into the arena: the head, the four
  // mids, then a tail per place (place 0 first). Pointers into the arena are
  // taken once it is complete.
  std::vector<std::size_t> offsets;  // where each piece begins; one more at the end
  arena_.reserve(std::size_t{64} * (image.place_count() + 8u));
  offsets.push_back(0);
  if (json) arena_ += "{\"input\":\"";
  offsets.push_back(arena_.size());
  for (std::size_t s = 0; s < kStatusCount; ++s) {
    const std::string_view name = StatusName(static_cast<Status>(s));
    if (json) {
      arena_ += "\",\"status\":\"";
      arena_ += name;
      arena_ += "\",\"block\":\"";
    } else {
      arena_ += separator;
      arena_ += name;
      arena_ += separator;
    }
    offsets.push_back(arena_.size());
  }
  for (std::uint32_t p = 0; p <= image.place_count(); ++p) {
    AppendTail(format, image, static_cast<std::uint16_t>(p), &arena_);
    offsets.push_back(arena_.size());
  }
  arena_.append(kSlack, '\0');

  auto piece = [&](std::size_t i) {
    return Piece{arena_.data() + offsets[i], offsets[i + 1] - offsets[i]};
  };
  head_ = piece(0);
  std::size_t longest_mid = 0;
  for (std::size_t s = 0; s < kStatusCount; ++s) {
    mids_[s] = piece(1 + s);
    longest_mid = std::max(longest_mid, mids_[s].size);
  }
  std::size_t longest_tail = 0;
  tails_.reserve(image.place_count() + 1u);
  for (std::size_t i = 1 + kStatusCount; i + 1 < offsets.size(); ++i) {
    tails_.push_back(piece(i));
    longest_tail = std::max(longest_tail, tails_.back().size);
  }
  max_pieces_size_ = head_.size + longest_mid + longest_tail;
}

char* RecordFormat::PutInput(char* out, std::string_view utf8) const {
  return PutField(format_, out, utf8);
}

}  // namespace batch
