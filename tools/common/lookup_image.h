// The lookup image: every row of the Mobile table in one flat byte string, so
// that a batch lookup is an array index and two string views, with no parsing
// beyond one validation pass when the image is loaded.
//
// The location database stores the image as one BLOB in its metadata table
// (key kImageKey). All integers are little-endian; offsets count from the
// first byte of the image.
//
//   offset  size  field
//   0       8     magic "ZVLOOKUP"
//   8       4     format version (kImageVersion)
//   12      4     first block F (seven-digit block number)
//   16      4     block count N: the image covers blocks F .. F+N-1
//   20      4     place count P: place ids are 1..P, 0 means "no row"
//   24      4     row count: how many of the N ids are not 0
//   28      4     ids offset (always 64)
//   32      4     string-index offset (a multiple of 4)
//   36      4     string-pool offset
//   40      4     string-pool size S
//   44      16    data version, ASCII, padded with zero bytes
//   60      4     image size, including the checksum
//   64      2N    place id of each block F+i, uint16
//   ...     0..2  zero padding to a multiple of 4
//   ...     4(6P+1) string index: string k is pool[idx[k], idx[k+1]);
//                   idx[0] = 0, idx[6P] = S, never decreasing
//   ...     S     string pool, UTF-8, no terminators
//   ...     32    SHA-256 of every byte before it
//
// Place p (1-based) owns strings 6(p-1)+f, with f the Field below: area, t,
// province, city, zip, code, the same texts as the Mobile row of the block.
//
// Range: the builder takes blocks 1000000..1999999 only (every mobile number
// starts with 1), so an image covers at most 1,000,000 blocks (2 MB of ids).
// A block outside [F, F+N) simply has no row.
//
// Open validates everything that a lookup relies on (checksum, bounds, every
// id <= P, the string index), so PlaceId and Text never read out of bounds.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lookup_image {

inline constexpr std::string_view kImageKey = "lookup_image";  // zorvane_meta row
inline constexpr std::string_view kMagic = "ZVLOOKUP";
inline constexpr std::uint32_t kImageVersion = 1;
inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kChecksumSize = 32;
inline constexpr std::size_t kMaxDataVersion = 16;
inline constexpr std::uint32_t kLowestBlock = 1000000;
inline constexpr std::uint32_t kHighestBlock = 1999999;
inline constexpr std::size_t kMaxPlaces = 65535;

enum class Field : std::uint8_t {
  kArea = 0,
  kT = 1,
  kProvince = 2,
  kCity = 3,
  kZip = 4,
  kCode = 5
};
inline constexpr std::size_t kFieldCount = 6;

// The six texts of one place, in Field order.
using PlaceTexts = std::array<std::string_view, kFieldCount>;

struct BlockPlace {
  std::uint32_t block;
  std::uint16_t place;  // 1-based index into the places
};

// Builds an image. places[i] is place id i+1; blocks ascend strictly and lie
// in kLowestBlock..kHighestBlock. On a violation returns false and says why.
bool Build(std::span<const PlaceTexts> places, std::span<const BlockPlace> blocks,
           std::string_view data_version, std::vector<std::uint8_t>* image, std::string* error);

// A validated view of an image. It does not own the bytes: keep them alive
// and unchanged while the view is used.
class LookupImage {
 public:
  // Validates the bytes (checksum first, then structure). On failure returns
  // false with a one-line reason and leaves *out unchanged.
  static bool Open(std::span<const std::uint8_t> bytes, LookupImage* out, std::string* error);

  // The place id of a seven-digit block; 0 when the block has no row.
  std::uint16_t PlaceId(std::uint32_t block) const noexcept {
    // Below the first block the difference wraps around, past the count.
    const std::size_t i = block - first_block_;
    if (i >= block_count_) return 0;
    return static_cast<std::uint16_t>(ids_[2 * i] | (ids_[2 * i + 1] << 8));
  }

  // A text of place 1..place_count(); place 0 gives empty texts.
  std::string_view Text(std::uint16_t place, Field field) const noexcept {
    if (place == 0 || place > place_count_) return {};
    const std::size_t k = (place - 1u) * kFieldCount + static_cast<std::size_t>(field);
    const std::uint32_t begin = Load32(index_ + 4 * k);
    const std::uint32_t end = Load32(index_ + 4 * (k + 1));
    return {reinterpret_cast<const char*>(pool_) + begin, end - begin};
  }

  std::uint32_t first_block() const { return first_block_; }
  std::uint32_t block_count() const { return block_count_; }
  std::uint32_t place_count() const { return place_count_; }
  std::uint32_t row_count() const { return row_count_; }
  std::string_view data_version() const { return data_version_; }

 private:
  static std::uint32_t Load32(const std::uint8_t* p) noexcept {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

  const std::uint8_t* ids_ = nullptr;
  const std::uint8_t* index_ = nullptr;
  const std::uint8_t* pool_ = nullptr;
  std::uint32_t first_block_ = 0;
  std::uint32_t block_count_ = 0;
  std::uint32_t place_count_ = 0;
  std::uint32_t row_count_ = 0;
  std::string_view data_version_;
};

}  // namespace lookup_image
