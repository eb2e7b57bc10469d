// The location database file that the program reads, written and read by
// the database tool. An SQLite file:
//
//   zorvane_meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID
//     format, data_version, row_count, password_salt, password_iterations,
//     password_verifier, lookup_image (see lookup_image.h)
//   places(id INTEGER PRIMARY KEY, area, t, province, city, zip, code)
//     the distinct places, a few thousand rows
//   blocks(num INTEGER PRIMARY KEY, place INTEGER NOT NULL)
//     one row per block, about ten bytes each
//   VIEW Mobile(num, area, t, zip, code): blocks joined with places
//
// blocks.num is the rowid, so it stores no key of its own: a text table keyed
// by num would be half as large again. The program's statement compares num
// with a quoted text ('1380013'); integer affinity turns the text into a
// number, and SQLite answers with a rowid search.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/block_table.h"

namespace zdb {

// Metadata rows of the tool's own (the provider's are in provider_file.h).
inline constexpr std::string_view kDataVersionKey = "data_version";  // TEXT
inline constexpr std::string_view kRowCountKey = "row_count";        // INTEGER

// Why the program could not use this database password, or empty. The
// connection text carries the password verbatim, so a semicolon would end
// it early and blanks at either end would be trimmed away.
std::string CheckDatabasePassword(std::string_view password);

struct WriteOptions {
  std::string password;
  std::string data_version;
};

// Writes the table as a location database in place of `out`: to a temporary
// file beside it, reopened and verified (as VerifyLocationDb), synced, then
// renamed over `out`. On failure `out` is untouched.
bool WriteLocationDb(const BlockTable& table, const WriteOptions& options,
                     const std::filesystem::path& out, std::string* error);

struct LocationDb {
  std::string data_version;
  std::int64_t row_count = 0;  // as the metadata states it
  BlockTable table;
  std::vector<std::uint8_t> image;  // empty when the file has no lookup image
};

// Reads a whole location database, read-only, after checking that it is one
// and that the password opens it.
bool ReadLocationDb(const std::filesystem::path& path, std::string_view password, LocationDb* db,
                    std::string* error);

// Checks everything the program and the batch lookup rely on: SQLite's
// integrity check, the format, the password, the row count, every place's
// area and t, the index look-up of the program's statement, the lookup image
// (checksum, and every block against the table), and an open and a lookup
// through the program's own data-access layer.
struct Verified {
  std::int64_t rows = 0;
  std::string data_version;
  std::string summary;  // the file in one line
};
bool VerifyLocationDb(const std::filesystem::path& path, std::string_view password,
                      Verified* verified, std::string* error);

// The plan SQLite gives for "select * from Mobile where num='<block>'", one
// detail line per step; empty with *error set when it cannot be prepared.
std::vector<std::string> ProgramQueryPlan(sqlite3* db, std::string_view block, std::string* error);

}  // namespace zdb
