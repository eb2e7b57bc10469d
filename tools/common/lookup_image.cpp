#include "tools/common/lookup_image.h"

#include <openssl/evp.h>

#include <cstring>
#include <limits>

namespace lookup_image {
namespace {

// Header field offsets (see the header's table).
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kFirstBlockAt = 12;
constexpr std::size_t kBlockCountAt = 16;
constexpr std::size_t kPlaceCountAt = 20;
constexpr std::size_t kRowCountAt = 24;
constexpr std::size_t kIdsAt = 28;
constexpr std::size_t kIndexAt = 32;
constexpr std::size_t kPoolAt = 36;
constexpr std::size_t kPoolSizeAt = 40;
constexpr std::size_t kDataVersionAt = 44;
constexpr std::size_t kImageSizeAt = 60;

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool Sha256(std::span<const std::uint8_t> data, std::uint8_t* digest) {
  unsigned int length = 0;
  return EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) == 1 &&
         length == kChecksumSize;
}

bool DataVersionIsValid(std::string_view v) {
  if (v.empty() || v.size() > kMaxDataVersion) return false;
  for (char c : v) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

std::size_t RoundUp4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

}  // namespace

bool Build(std::span<const PlaceTexts> places, std::span<const BlockPlace> blocks,
           std::string_view data_version, std::vector<std::uint8_t>* image, std::string* error) {
  if (blocks.empty()) {
    *error = "the image needs at least one block";
    return false;
  }
  if (places.size() > kMaxPlaces) {
    *error = std::to_string(places.size()) + " distinct places; the image holds at most " +
             std::to_string(kMaxPlaces);
    return false;
  }
  if (!DataVersionIsValid(data_version)) {
    *error = "data version must be 1 to 16 printable ASCII characters without blanks";
    return false;
  }
  const std::uint32_t first = blocks.front().block;
  const std::uint32_t last = blocks.back().block;
  if (first < kLowestBlock || last > kHighestBlock) {
    *error = "the image covers blocks 1000000 to 1999999 only";
    return false;
  }
  const std::uint32_t count = last - first + 1;

  std::size_t pool_size = 0;
  for (const PlaceTexts& p : places) {
    for (std::string_view s : p) pool_size += s.size();
  }
  const std::size_t ids_at = kHeaderSize;
  const std::size_t index_at = RoundUp4(ids_at + 2 * std::size_t{count});
  const std::size_t pool_at = index_at + 4 * (places.size() * kFieldCount + 1);
  const std::size_t size = pool_at + pool_size + kChecksumSize;
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    *error = "the image would exceed 4 GB";
    return false;
  }

  std::vector<std::uint8_t> out(size, 0);
  std::memcpy(out.data(), kMagic.data(), kMagic.size());
  Put32(out, kVersionAt, kImageVersion);
  Put32(out, kFirstBlockAt, first);
  Put32(out, kBlockCountAt, count);
  Put32(out, kPlaceCountAt, static_cast<std::uint32_t>(places.size()));
  Put32(out, kRowCountAt, static_cast<std::uint32_t>(blocks.size()));
  Put32(out, kIdsAt, static_cast<std::uint32_t>(ids_at));
  Put32(out, kIndexAt, static_cast<std::uint32_t>(index_at));
  Put32(out, kPoolAt, static_cast<std::uint32_t>(pool_at));
  Put32(out, kPoolSizeAt, static_cast<std::uint32_t>(pool_size));
  std::memcpy(out.data() + kDataVersionAt, data_version.data(), data_version.size());
  Put32(out, kImageSizeAt, static_cast<std::uint32_t>(size));

  std::uint32_t previous = 0;
  for (const BlockPlace& b : blocks) {
    if (b.block <= previous) {
      *error = "blocks must ascend strictly (block " + std::to_string(b.block) + ")";
      return false;
    }
    if (b.place == 0 || b.place > places.size()) {
      *error = "block " + std::to_string(b.block) + " names place " + std::to_string(b.place) +
               " of " + std::to_string(places.size());
      return false;
    }
    const std::size_t at = ids_at + 2 * std::size_t{b.block - first};
    out[at] = static_cast<std::uint8_t>(b.place);
    out[at + 1] = static_cast<std::uint8_t>(b.place >> 8);
    previous = b.block;
  }

  std::size_t k = 0;
  std::uint32_t offset = 0;
  for (const PlaceTexts& p : places) {
    for (std::string_view s : p) {
      Put32(out, index_at + 4 * k++, offset);
      std::memcpy(out.data() + pool_at + offset, s.data(), s.size());
      offset += static_cast<std::uint32_t>(s.size());
    }
  }
  Put32(out, index_at + 4 * k, offset);

  if (!Sha256(std::span(out).first(size - kChecksumSize), out.data() + size - kChecksumSize)) {
    *error = "SHA-256 failed";
    return false;
  }
  *image = std::move(out);
  return true;
}

bool LookupImage::Open(std::span<const std::uint8_t> bytes, LookupImage* out, std::string* error) {
  const auto fail = [error](std::string reason) {
    *error = "lookup image: " + std::move(reason);
    return false;
  };
  if (bytes.size() < kHeaderSize + kChecksumSize) return fail("too short");
  const std::uint8_t* base = bytes.data();
  if (std::memcmp(base, kMagic.data(), kMagic.size()) != 0) return fail("bad magic");
  if (Get32(base + kVersionAt) != kImageVersion) {
    return fail("format version " + std::to_string(Get32(base + kVersionAt)) + " is not " +
                std::to_string(kImageVersion));
  }
  if (Get32(base + kImageSizeAt) != bytes.size()) return fail("size does not match its header");

  std::uint8_t digest[kChecksumSize];
  const std::size_t body = bytes.size() - kChecksumSize;
  if (!Sha256(bytes.first(body), digest) || std::memcmp(digest, base + body, kChecksumSize) != 0) {
    return fail("checksum mismatch (the image is damaged)");
  }

  // The checksum only proves the bytes are as written; the bounds below are
  // what keeps PlaceId and Text inside the image.
  const std::uint32_t first = Get32(base + kFirstBlockAt);
  const std::uint32_t count = Get32(base + kBlockCountAt);
  const std::uint32_t places = Get32(base + kPlaceCountAt);
  const std::uint32_t rows = Get32(base + kRowCountAt);
  const std::size_t ids_at = Get32(base + kIdsAt);
  const std::size_t index_at = Get32(base + kIndexAt);
  const std::size_t pool_at = Get32(base + kPoolAt);
  const std::size_t pool_size = Get32(base + kPoolSizeAt);
  if (first < kLowestBlock || count > kHighestBlock - first + 1) return fail("bad block range");
  if (places > kMaxPlaces) return fail("too many places");
  const std::size_t index_entries = std::size_t{places} * kFieldCount + 1;
  if (ids_at != kHeaderSize || index_at != RoundUp4(ids_at + 2 * std::size_t{count}) ||
      pool_at != index_at + 4 * index_entries || pool_at + pool_size != body) {
    return fail("bad section offsets");
  }
  const char* version = reinterpret_cast<const char*>(base + kDataVersionAt);
  const std::string_view data_version(version, strnlen(version, kMaxDataVersion));
  if (!DataVersionIsValid(data_version)) return fail("bad data version");

  std::uint32_t nonzero = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t id = base[ids_at + 2 * i] | (base[ids_at + 2 * i + 1] << 8);
    if (id > places) return fail("block " + std::to_string(first + i) + " names a missing place");
    nonzero += id != 0;
  }
  if (nonzero != rows) return fail("row count does not match the ids");
  std::uint32_t previous = 0;
  for (std::size_t k = 0; k < index_entries; ++k) {
    const std::uint32_t at = Get32(base + index_at + 4 * k);
    if (at < previous || at > pool_size || (k == 0 && at != 0)) return fail("bad string index");
    previous = at;
  }
  if (previous != pool_size) return fail("bad string index");

  out->ids_ = base + ids_at;
  out->index_ = base + index_at;
  out->pool_ = base + pool_at;
  out->first_block_ = first;
  out->block_count_ = count;
  out->place_count_ = places;
  out->row_count_ = rows;
  out->data_version_ = data_version;
  return true;
}

}  // namespace lookup_image
