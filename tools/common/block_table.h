// The number-block table in memory, as every source and every output of the
// database tool sees it: a few thousand distinct places (location, codes and
// carrier) and half a million blocks that each name one of them.
//
// Everything that enters a table passes the checks here, whatever its source
// (TSV, CSV, phone.dat, a database file), so a table in memory is always fit
// to be written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zdb {

// The carriers: the short name of the source tables, the full name that the
// program shows (column t), and the carrier type of phone.dat (0: none).
struct Carrier {
  std::string_view short_name;
  std::string_view full_name;
  int phone_dat_type;
};

inline constexpr std::array<Carrier, 9> kCarriers = {{
    {"移动", "中国移动", 1},
    {"联通", "中国联通", 2},
    {"电信", "中国电信", 3},
    {"广电", "中国广电", 7},
    {"移动虚拟", "中国移动(虚拟运营商)", 6},
    {"联通虚拟", "中国联通(虚拟运营商)", 5},
    {"电信虚拟", "中国电信(虚拟运营商)", 4},
    {"广电虚拟", "中国广电(虚拟运营商)", 8},
    {"未知", "未知", 0},
}};

// Index into kCarriers, or nothing.
std::optional<std::uint8_t> CarrierByShortName(std::string_view name);
std::optional<std::uint8_t> CarrierByFullName(std::string_view name);
std::optional<std::uint8_t> CarrierByPhoneDatType(int type);

// A distinct location with its carrier: what a block maps to.
struct Place {
  std::string province;
  std::string city;
  std::string zip;
  std::string code;  // long-distance area code
  std::uint8_t carrier = 0;

  // Column area: province and city joined by one blank, or the province
  // alone where the city is the province (the municipalities).
  std::string Area() const;
  // Column t: the carrier's full name.
  std::string_view T() const { return kCarriers[carrier].full_name; }

  bool operator==(const Place&) const = default;
};

struct Block {
  std::uint32_t num;
  std::uint16_t place;  // 1-based index into BlockTable::places
};

struct BlockTable {
  std::vector<Place> places;  // place id i+1 is places[i]
  std::vector<Block> blocks;  // ascending num, no duplicates

  const Place& PlaceOf(const Block& b) const { return places[b.place - 1u]; }
};

// The range of blocks a table may hold: seven digits, and every mobile number
// starts with 1.
inline constexpr std::uint32_t kLowestBlock = 1000000;
inline constexpr std::uint32_t kHighestBlock = 1999999;
inline constexpr std::size_t kMaxPlaces = 65535;  // place ids are 16-bit

// Why a place cannot be stored, or empty when it can: province and city are
// non-empty, zip and area code are ASCII digits, every text is valid UTF-8
// without control characters or blanks at either end.
std::string CheckPlace(const Place& place);

// Collects rows into a BlockTable, refusing what cannot be stored. Rows may
// come in any order; each row carries its source position (a line number or
// an entry number) so that a duplicate can name its first occurrence.
class BlockTableBuilder {
 public:
  // position_name names what a position counts in messages ("line").
  explicit BlockTableBuilder(std::string_view position_name);

  // The reason the row is refused, or empty when it was taken.
  std::string Add(std::string_view num, Place place, std::uint32_t position);
  std::string Add(std::uint32_t num, Place place, std::uint32_t position);

  // Sorts the blocks. Refuses an empty table.
  bool Finish(BlockTable* table, std::string* error);

 private:
  std::string position_name_;
  std::vector<std::uint32_t> first_position_;  // per block; 0: not seen yet
  std::unordered_map<std::string, std::uint16_t> place_ids_;
  BlockTable table_;
};

// The block of a seven-digit text, or nothing (the reason in *error).
std::optional<std::uint32_t> ParseBlock(std::string_view text, std::string* error);

// UTF-8 to UTF-16; false when the text is not valid UTF-8.
bool Utf8ToUtf16(std::string_view utf8, std::u16string* out);

// A data version as the tool accepts it: 1 to 16 printable ASCII characters
// without blanks (it is shown in reports and stored in the lookup image).
bool IsValidDataVersion(std::string_view version);

}  // namespace zdb
