// The records of the batch lookup in its three output formats.
//
// A record is assembled from five pieces:
//
//   head | input | mid(status) | block | tail(place)
//
// Only the input and the block vary from line to line; the head, the four
// mids and the tail of every place (the carrier, location and codes, escaped
// for the format, up to the record's end) are built once when the data is
// loaded. Every piece is followed in memory by at least kSlack readable
// bytes, so the hot loop copies short pieces with one fixed-size copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/lookup_image.h"
#include "tools/zorvane_lookup/batch_judge.h"

namespace batch {

enum class Format : std::uint8_t { kTsv, kCsv, kJsonl };

// Fields of a record, in order; the header line of tsv and csv names them so.
inline constexpr std::string_view kFieldNames[] = {
    "input", "status", "block", "carrier", "area", "province", "city", "zip", "area_code"};

struct Piece {
  const char* data;
  std::size_t size;
};

inline constexpr std::size_t kSlack = 64;

// Copies a piece to out (which has room for kSlack bytes more than the
// piece) and returns the end of the copy. A piece of up to kCopy bytes is
// copied as kCopy bytes, in a few fixed moves.
template <std::size_t kCopy = kSlack>
inline char* PutPiece(char* out, Piece piece) noexcept {
  static_assert(kCopy <= kSlack);
  if (piece.size <= kCopy) {
    std::memcpy(out, piece.data, kCopy);
  } else {
    std::memcpy(out, piece.data, piece.size);
  }
  return out + piece.size;
}

class RecordFormat {
 public:
  // The texts of the image are taken as UTF-8; ill-formed bytes in them
  // become U+FFFD.
  RecordFormat(Format format, const lookup_image::LookupImage& image);
  RecordFormat(const RecordFormat&) = delete;
  RecordFormat& operator=(const RecordFormat&) = delete;

  Format format() const { return format_; }
  // The header line (empty for jsonl).
  std::string_view header() const { return header_; }

  Piece head() const { return head_; }
  Piece mid(Status status) const { return mids_[static_cast<std::size_t>(status)]; }
  // Place 0, and every rejected line, has empty fields (null in jsonl).
  const Piece& tail(std::uint16_t place) const { return tails_[place]; }

  // Writes an input text (valid UTF-8) between the head and the mid, escaped
  // as the format wants it (tsv: backslash, tab, CR and LF as \\ \t \r \n;
  // csv: quoted when it holds a comma, quote, CR or LF; jsonl: a JSON string's
  // contents), and returns the end. Needs room for MaxInputSize bytes.
  char* PutInput(char* out, std::string_view utf8) const;
  static std::size_t MaxInputSize(std::size_t bytes) { return 6 * bytes + 2; }

  // The most that a record needs besides its input field and the block.
  std::size_t max_pieces_size() const { return max_pieces_size_; }

 private:
  Format format_;
  std::string header_;
  std::string arena_;  // every piece, then kSlack zero bytes
  Piece head_{};
  Piece mids_[kStatusCount]{};
  std::vector<Piece> tails_;
  std::size_t max_pieces_size_ = 0;
};

}  // namespace batch
