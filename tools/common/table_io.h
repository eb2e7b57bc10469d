// The block table as text: TSV (the format of data/number_blocks.tsv) or CSV
// (RFC 4180) with the same header and columns:
//
//   num  province  city  zip  areacode  carrier
//
// UTF-8, one row per line; a leading byte-order mark and CR LF line ends are
// accepted. A CSV field may be quoted; a line break inside a field is not
// accepted, so that line numbers in messages are the lines an editor shows.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tools/common/block_table.h"

namespace zdb {

enum class TableFormat { kTsv, kCsv };

// "tsv" or "csv".
std::optional<TableFormat> TableFormatByName(std::string_view name);
// CSV for a .csv file (any case), TSV otherwise.
TableFormat TableFormatOfPath(const std::filesystem::path& path);

// Parses a whole table. On failure *error is "line N: reason" (the header is
// line 1) and *table is unchanged.
bool ParseTable(std::string_view text, TableFormat format, BlockTable* table, std::string* error);

// The table as text: a header line, then one line per block in num order.
// TSV lines end in LF, CSV lines in CR LF (RFC 4180).
std::string FormatTable(const BlockTable& table, TableFormat format);

// Reads a whole file. *error names the file and the cause.
bool ReadFile(const std::filesystem::path& path, std::string* contents, std::string* error);

}  // namespace zdb
