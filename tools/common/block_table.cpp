#include "tools/common/block_table.h"

#include <algorithm>

namespace zdb {
namespace {

// Decodes one UTF-8 character at s[i]; returns its length, or 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t* c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  std::size_t n;
  char32_t min;
  if (b0 < 0x80) {
    *c = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    n = 2, *c = b0 & 0x1Fu, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, *c = b0 & 0x0Fu, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, *c = b0 & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    *c = (*c << 6) | (byte(i + k) & 0x3Fu);
  }
  if (*c < min || *c > 0x10FFFF || (*c >= 0xD800 && *c <= 0xDFFF)) return 0;
  return n;
}

std::string CheckText(const std::string& name, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t c;
    const std::size_t n = DecodeUtf8(text, i, &c);
    if (n == 0) return name + " is not valid UTF-8";
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return name + " has a control character";
    i += n;
  }
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) {
    return name + " has a blank at its start or end";
  }
  return {};
}

std::string CheckDigits(const std::string& name, std::string_view text) {
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return name + " is not all digits: \"" + std::string(text) + "\"";
  }
  return {};
}

std::string PlaceKey(const Place& p) {
  std::string key;
  key.reserve(p.province.size() + p.city.size() + p.zip.size() + p.code.size() + 5);
  for (const std::string* s : {&p.province, &p.city, &p.zip, &p.code}) {
    key += *s;
    key += '\0';
  }
  key += static_cast<char>(p.carrier);
  return key;
}

}  // namespace

std::optional<std::uint8_t> CarrierByShortName(std::string_view name) {
  for (std::size_t i = 0; i < kCarriers.size(); ++i) {
    if (kCarriers[i].short_name == name) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

std::optional<std::uint8_t> CarrierByFullName(std::string_view name) {
  for (std::size_t i = 0; i < kCarriers.size(); ++i) {
    if (kCarriers[i].full_name == name) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

std::optional<std::uint8_t> CarrierByPhoneDatType(int type) {
  for (std::size_t i = 0; i < kCarriers.size(); ++i) {
    if (type != 0 && kCarriers[i].phone_dat_type == type) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

std::string Place::Area() const {
  if (city == province) return province;
  return province + " " + city;
}

std::string CheckPlace(const Place& place) {
  if (place.province.empty()) return "empty province";
  if (place.city.empty()) return "empty city";
  for (const auto& [name, text] : {std::pair{"province", &place.province},
                                   {"city", &place.city},
                                   {"zip", &place.zip},
                                   {"area code", &place.code}}) {
    if (std::string reason = CheckText(name, *text); !reason.empty()) return reason;
  }
  if (std::string reason = CheckDigits("zip", place.zip); !reason.empty()) return reason;
  if (std::string reason = CheckDigits("area code", place.code); !reason.empty()) return reason;
  if (place.carrier >= kCarriers.size()) return "unknown carrier";
  return {};
}

std::optional<std::uint32_t> ParseBlock(std::string_view text, std::string* error) {
  const bool digits =
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (text.size() != 7 || !digits) {
    *error = "block \"" + std::string(text) + "\" is not seven digits";
    return std::nullopt;
  }
  std::uint32_t num = 0;
  for (char c : text) num = num * 10 + static_cast<std::uint32_t>(c - '0');
  if (num < kLowestBlock) {
    *error = "block " + std::string(text) + " does not start with 1 (no mobile number does)";
    return std::nullopt;
  }
  return num;
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string* out) {
  std::u16string result;
  result.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c;
    const std::size_t n = DecodeUtf8(utf8, i, &c);
    if (n == 0) return false;
    if (c >= 0x10000) {
      result += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      result += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      result += static_cast<char16_t>(c);
    }
    i += n;
  }
  *out = std::move(result);
  return true;
}

bool IsValidDataVersion(std::string_view version) {
  return !version.empty() && version.size() <= 16 &&
         std::all_of(version.begin(), version.end(), [](char c) { return c > ' ' && c <= '~'; });
}

BlockTableBuilder::BlockTableBuilder(std::string_view position_name)
    : position_name_(position_name), first_position_(kHighestBlock - kLowestBlock + 1, 0) {}

std::string BlockTableBuilder::Add(std::string_view num, Place place, std::uint32_t position) {
  std::string error;
  const std::optional<std::uint32_t> block = ParseBlock(num, &error);
  if (!block) return error;
  return Add(*block, std::move(place), position);
}

std::string BlockTableBuilder::Add(std::uint32_t num, Place place, std::uint32_t position) {
  if (num < kLowestBlock || num > kHighestBlock) {
    return "block " + std::to_string(num) + " is not a seven-digit block starting with 1";
  }
  if (std::string reason = CheckPlace(place); !reason.empty()) return reason;
  std::uint32_t& first = first_position_[num - kLowestBlock];
  if (first != 0) {
    return "duplicate block " + std::to_string(num) + " (first on " + position_name_ + " " +
           std::to_string(first) + ")";
  }
  std::string key = PlaceKey(place);
  auto it = place_ids_.find(key);
  if (it == place_ids_.end()) {
    if (table_.places.size() == kMaxPlaces) {
      return "more than " + std::to_string(kMaxPlaces) + " distinct places";
    }
    table_.places.push_back(std::move(place));
    it = place_ids_.emplace(std::move(key), static_cast<std::uint16_t>(table_.places.size())).first;
  }
  first = position;
  table_.blocks.push_back({num, it->second});
  return {};
}

bool BlockTableBuilder::Finish(BlockTable* table, std::string* error) {
  if (table_.blocks.empty()) {
    *error = "the table has no rows";
    return false;
  }
  std::sort(table_.blocks.begin(), table_.blocks.end(),
            [](const Block& a, const Block& b) { return a.num < b.num; });
  *table = std::move(table_);
  table_ = {};
  return true;
}

}  // namespace zdb
