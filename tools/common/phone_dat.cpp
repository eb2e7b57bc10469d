#include "tools/common/phone_dat.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace zdb {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 9;

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The record that starts at `at`, split into its four fields.
std::string ParseRecord(std::span<const std::uint8_t> bytes, std::size_t at,
                        std::size_t records_end, Place* place) {
  const std::string where = "record at byte " + std::to_string(at);
  if (at != kHeaderSize && bytes[at - 1] != 0) return where + " does not start a record";
  const auto* begin = reinterpret_cast<const char*>(bytes.data()) + at;
  const void* zero = std::memchr(begin, 0, records_end - at);
  if (zero == nullptr) return where + " has no terminating zero byte";
  std::string_view text(begin, static_cast<const char*>(zero) - begin);

  std::string* fields[] = {&place->province, &place->city, &place->zip, &place->code};
  std::size_t count = 0;
  for (;;) {
    const std::size_t bar = text.find('|');
    if (count < 4) fields[count]->assign(text.substr(0, bar));
    ++count;
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  if (count != 4) {
    return where + ": " + std::to_string(count) +
           " fields instead of 4 (province|city|zip|areacode)";
  }
  return {};
}

}  // namespace

bool ParsePhoneDat(std::span<const std::uint8_t> bytes, PhoneDat* out, std::string* error) {
  const auto fail = [error](std::string reason) {
    *error = std::move(reason);
    return false;
  };
  if (bytes.size() < kHeaderSize) return fail("shorter than its 8-byte header");
  const std::string version(reinterpret_cast<const char*>(bytes.data()), 4);
  for (char c : version) {
    if (c < '0' || c > '9') return fail("the version is not four ASCII digits");
  }
  const int month = (version[2] - '0') * 10 + (version[3] - '0');
  if (month < 1 || month > 12) return fail("the version " + version + " names no month");

  const std::size_t index_at = Get32(bytes.data() + 4);
  if (index_at < kHeaderSize || index_at > bytes.size()) {
    return fail("index offset " + std::to_string(index_at) + " lies outside the file (8.." +
                std::to_string(bytes.size()) + ")");
  }
  if ((bytes.size() - index_at) % kEntrySize != 0) {
    return fail("the index (" + std::to_string(bytes.size() - index_at) +
                " bytes) is not a whole number of 9-byte entries");
  }

  BlockTableBuilder builder("index entry");
  std::unordered_map<std::uint32_t, Place> records;
  std::uint32_t previous = 0;
  const std::size_t entries = (bytes.size() - index_at) / kEntrySize;
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* entry = bytes.data() + index_at + i * kEntrySize;
    const auto number = static_cast<std::uint32_t>(i + 1);
    const std::string where = "index entry " + std::to_string(number) + ": ";
    const std::uint32_t block = Get32(entry);
    const std::uint32_t record_at = Get32(entry + 4);
    const int type = entry[8];
    if (block < kLowestBlock || block > kHighestBlock) {
      return fail(where + "block " + std::to_string(static_cast<std::int32_t>(block)) +
                  " is not a seven-digit block starting with 1");
    }
    if (block <= previous) {
      return fail(where + "block " + std::to_string(block) + " does not follow block " +
                  std::to_string(previous) + " (the index must ascend without duplicates)");
    }
    previous = block;
    if (record_at < kHeaderSize || record_at >= index_at) {
      return fail(where + "record offset " + std::to_string(record_at) +
                  " lies outside the records (8.." + std::to_string(index_at) + ")");
    }
    const std::optional<std::uint8_t> carrier = CarrierByPhoneDatType(type);
    if (!carrier) return fail(where + "carrier type " + std::to_string(type) + " is not 1..8");

    auto it = records.find(record_at);
    if (it == records.end()) {
      Place place;
      if (std::string reason = ParseRecord(bytes, record_at, index_at, &place); !reason.empty()) {
        return fail(where + reason);
      }
      it = records.emplace(record_at, std::move(place)).first;
    }
    Place place = it->second;
    place.carrier = *carrier;
    if (std::string reason = builder.Add(block, std::move(place), number); !reason.empty()) {
      return fail(where + reason);
    }
  }
  PhoneDat result;
  if (!builder.Finish(&result.table, error)) return false;
  result.version = version;
  result.data_version = "20" + version.substr(0, 2) + "-" + version.substr(2, 2);
  *out = std::move(result);
  return true;
}

}  // namespace zdb
