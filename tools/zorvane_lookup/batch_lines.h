// The loop of the batch lookup: one record for every non-blank input line,
// in input order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/lookup_image.h"
#include "tools/zorvane_lookup/batch_io.h"
#include "tools/zorvane_lookup/batch_judge.h"
#include "tools/zorvane_lookup/batch_records.h"

namespace batch {

enum class Encoding : std::uint8_t { kUtf8, kGbk };

struct LineOptions {
  Encoding encoding = Encoding::kUtf8;
  bool normalize = false;
  // Off only in the tests that compare the fast path with the general one.
  bool fast_path = true;
};

class LineProcessor {
 public:
  LineProcessor(const lookup_image::LookupImage& image, const RecordFormat& format,
                const LineOptions& options, Output* out);

  // Writes the records of every line of a piece of whole lines (the last
  // line may lack its newline). A line's trailing CR is not part of it; a
  // line of nothing but blanks (space, tab, CR, VT, FF) is skipped. False
  // once the output has failed.
  bool Process(std::string_view piece);

  std::uint64_t records() const;
  std::uint64_t count(Status status) const;
  // Records per place: [0] the not_found ones, [p] the ok ones of place p.
  const std::vector<std::uint64_t>& place_counts() const { return place_counts_; }

 private:
  bool ProcessLine(std::string_view line);

  const lookup_image::LookupImage& image_;
  const RecordFormat& format_;
  LineOptions options_;
  Output* out_;
  std::size_t fast_record_size_;
  std::vector<std::uint64_t> place_counts_;
  std::uint64_t rejected_[2] = {0, 0};  // bad_length, bad_prefix
  // Reused for the lines that take the general path.
  std::string shown_;
  std::string gbk_;
  std::string normalized_;
};

}  // namespace batch
