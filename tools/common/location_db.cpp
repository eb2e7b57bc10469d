#include "tools/common/location_db.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <variant>

#include "platform/ado.h"
#include "platform/provider_file.h"
#include "tools/common/atomic_file.h"
#include "tools/common/lookup_image.h"

namespace zdb {
namespace {

// Rows inserted in key order fill their pages completely, so the page size
// matters little for the blocks table (about eleven bytes a row); small pages
// waste less in the small tables. On the shipped data: 4 KiB 7.3 MB,
// 64 KiB 7.6 MB.
constexpr int kPageSize = 4096;

constexpr std::string_view kSchema = R"sql(
CREATE TABLE zorvane_meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE places(
  id INTEGER PRIMARY KEY,
  area TEXT NOT NULL,
  t TEXT NOT NULL,
  province TEXT NOT NULL,
  city TEXT NOT NULL,
  zip TEXT NOT NULL,
  code TEXT NOT NULL);
CREATE TABLE blocks(num INTEGER PRIMARY KEY, place INTEGER NOT NULL);
CREATE VIEW Mobile AS
  SELECT b.num AS num, p.area AS area, p.t AS t, p.zip AS zip, p.code AS code,
         p.province AS province, p.city AS city
  FROM blocks b JOIN places p ON p.id = b.place;
)sql";

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

struct StmtCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

std::string Message(sqlite3* db) { return sqlite3_errmsg(db); }

Stmt Prepare(sqlite3* db, std::string_view sql, std::string* error) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) !=
      SQLITE_OK) {
    *error = Message(db);
    return nullptr;
  }
  return Stmt(raw);
}

bool Exec(sqlite3* db, std::string_view sql, std::string* error) {
  const std::string text(sql);
  if (sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = Message(db);
    return false;
  }
  return true;
}

std::string_view ColumnText(sqlite3_stmt* s, int i) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
              : std::string_view();
}

std::vector<std::uint8_t> ColumnBlob(sqlite3_stmt* s, int i) {
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
  return bytes ? std::vector<std::uint8_t>(bytes, bytes + sqlite3_column_bytes(s, i))
               : std::vector<std::uint8_t>();
}

// ---- Writing ----

// One metadata row; the value is a text, an integer or a blob, and keeps that
// type in the file (the provider reads the verifier only as a blob).
using MetaValue = std::variant<std::string_view, std::int64_t, std::span<const std::uint8_t>>;

bool InsertMeta(sqlite3* db, std::string_view key, MetaValue value, std::string* error) {
  Stmt s = Prepare(db, "INSERT INTO zorvane_meta(key, value) VALUES (?, ?)", error);
  if (!s) return false;
  sqlite3_bind_text(s.get(), 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
  if (const auto* text = std::get_if<std::string_view>(&value)) {
    sqlite3_bind_text(s.get(), 2, text->data(), static_cast<int>(text->size()), SQLITE_STATIC);
  } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    sqlite3_bind_int64(s.get(), 2, *integer);
  } else {
    const auto& blob = std::get<std::span<const std::uint8_t>>(value);
    sqlite3_bind_blob(s.get(), 2, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
  }
  if (sqlite3_step(s.get()) != SQLITE_DONE) return *error = Message(db), false;
  return true;
}

bool BuildImage(const BlockTable& table, std::string_view data_version,
                std::vector<std::uint8_t>* image, std::string* error) {
  std::vector<std::string> areas;
  areas.reserve(table.places.size());
  std::vector<lookup_image::PlaceTexts> places;
  places.reserve(table.places.size());
  for (const Place& p : table.places) {
    areas.push_back(p.Area());
    places.push_back({areas.back(), p.T(), p.province, p.city, p.zip, p.code});
  }
  std::vector<lookup_image::BlockPlace> blocks;
  blocks.reserve(table.blocks.size());
  for (const Block& b : table.blocks) blocks.push_back({b.num, b.place});
  return lookup_image::Build(places, blocks, data_version, image, error);
}

bool WriteTables(sqlite3* db, const BlockTable& table, const WriteOptions& options,
                 std::string* error) {
  provider::PasswordVerifier verifier;
  try {
    verifier = provider::MakeVerifier(options.password);
  } catch (const std::exception& e) {
    *error = std::string("cannot make the password verifier: ") + e.what();
    return false;
  }
  std::vector<std::uint8_t> image;
  if (!BuildImage(table, options.data_version, &image, error)) return false;

  // The file is a temporary one until it has been verified and renamed, so
  // it needs no journal and no syncs of its own.
  const std::string pragmas = "PRAGMA page_size=" + std::to_string(kPageSize) +
                              "; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;";
  if (!Exec(db, pragmas, error) || !Exec(db, "BEGIN", error) || !Exec(db, kSchema, error)) {
    return false;
  }

  Stmt place = Prepare(db, "INSERT INTO places VALUES (?, ?, ?, ?, ?, ?, ?)", error);
  if (!place) return false;
  for (std::size_t i = 0; i < table.places.size(); ++i) {
    const Place& p = table.places[i];
    const std::string area = p.Area();
    const std::string_view texts[] = {area, p.T(), p.province, p.city, p.zip, p.code};
    sqlite3_bind_int64(place.get(), 1, static_cast<sqlite3_int64>(i) + 1);
    for (int k = 0; k < 6; ++k) {
      sqlite3_bind_text(place.get(), k + 2, texts[k].data(), static_cast<int>(texts[k].size()),
                        SQLITE_TRANSIENT);
    }
    if (sqlite3_step(place.get()) != SQLITE_DONE) return *error = Message(db), false;
    sqlite3_reset(place.get());
  }

  // In num order, so that the table's pages fill completely.
  Stmt block = Prepare(db, "INSERT INTO blocks VALUES (?, ?)", error);
  if (!block) return false;
  for (const Block& b : table.blocks) {
    sqlite3_bind_int64(block.get(), 1, b.num);
    sqlite3_bind_int64(block.get(), 2, b.place);
    if (sqlite3_step(block.get()) != SQLITE_DONE) return *error = Message(db), false;
    sqlite3_reset(block.get());
  }

  using Blob = std::span<const std::uint8_t>;
  return InsertMeta(db, provider::kFormatKey, provider::kFormat, error) &&
         InsertMeta(db, kDataVersionKey, std::string_view(options.data_version), error) &&
         InsertMeta(db, kRowCountKey, static_cast<std::int64_t>(table.blocks.size()), error) &&
         InsertMeta(db, provider::kSaltKey, Blob(verifier.salt), error) &&
         InsertMeta(db, provider::kIterationsKey, std::int64_t{verifier.iterations}, error) &&
         InsertMeta(db, provider::kVerifierKey, Blob(verifier.verifier), error) &&
         InsertMeta(db, lookup_image::kImageKey, Blob(image), error) && Exec(db, "COMMIT", error);
}

// ---- Reading ----

// Opens a file read-only and admits it only when it is a location database
// that the password opens.
Db OpenChecked(const std::filesystem::path& path, std::string_view password, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *error = "cannot read " + path.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path.string() + " is not a regular file";
    return nullptr;
  }
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) {
    *error = "cannot open " + path.string() + ": " + (raw ? Message(raw) : "out of memory");
    return nullptr;
  }
  const std::string not_ours = path.string() + " is not a location database";
  std::string reason;
  Stmt s = Prepare(db.get(), "SELECT key, value FROM zorvane_meta", &reason);
  if (!s) {
    *error = not_ours + " (" + reason + ")";
    return nullptr;
  }
  bool format_ok = false;
  provider::PasswordVerifier stored;
  int step;
  while ((step = sqlite3_step(s.get())) == SQLITE_ROW) {
    const std::string_view key = ColumnText(s.get(), 0);
    if (key == provider::kFormatKey) {
      format_ok = ColumnText(s.get(), 1) == provider::kFormat;
    } else if (key == provider::kSaltKey) {
      stored.salt = ColumnBlob(s.get(), 1);
    } else if (key == provider::kVerifierKey) {
      stored.verifier = ColumnBlob(s.get(), 1);
    } else if (key == provider::kIterationsKey &&
               sqlite3_column_type(s.get(), 1) == SQLITE_INTEGER) {
      const sqlite3_int64 n = sqlite3_column_int64(s.get(), 1);
      stored.iterations = n > 0 && n <= 100'000'000 ? static_cast<int>(n) : 0;
    }
  }
  if (step != SQLITE_DONE) {
    *error = not_ours + " (" + Message(db.get()) + ")";
    return nullptr;
  }
  if (!format_ok) {
    *error = not_ours + " (no format \"" + std::string(provider::kFormat) + "\")";
    return nullptr;
  }
  if (!provider::CheckPassword(stored, password)) {
    *error = "the password does not open " + path.string();
    return nullptr;
  }
  return db;
}

struct Meta {
  std::optional<std::string> data_version;
  std::optional<std::int64_t> row_count;
  std::vector<std::uint8_t> image;
};

bool ReadMeta(sqlite3* db, Meta* meta, std::string* error) {
  Stmt s = Prepare(db, "SELECT key, value FROM zorvane_meta", error);
  if (!s) return false;
  int step;
  while ((step = sqlite3_step(s.get())) == SQLITE_ROW) {
    const std::string_view key = ColumnText(s.get(), 0);
    const int type = sqlite3_column_type(s.get(), 1);
    if (key == kDataVersionKey && type == SQLITE_TEXT) {
      meta->data_version = std::string(ColumnText(s.get(), 1));
    } else if (key == kRowCountKey && type == SQLITE_INTEGER) {
      meta->row_count = sqlite3_column_int64(s.get(), 1);
    } else if (key == lookup_image::kImageKey && type == SQLITE_BLOB) {
      meta->image = ColumnBlob(s.get(), 1);
    }
  }
  if (step != SQLITE_DONE) return *error = Message(db), false;
  if (!meta->data_version) return *error = "no data version in the metadata", false;
  if (!meta->row_count) return *error = "no row count in the metadata", false;
  return true;
}

// Every row of blocks joined with places, through the builder, so that a
// table read back passes the same checks as one read from text.
bool ReadTable(sqlite3* db, BlockTable* table, std::string* error) {
  Stmt s = Prepare(db,
                   "SELECT b.num, p.province, p.city, p.zip, p.code, p.t, p.area "
                   "FROM blocks b JOIN places p ON p.id = b.place ORDER BY b.num",
                   error);
  if (!s) return false;
  BlockTableBuilder builder("row");
  std::uint32_t row = 0;
  int step;
  while ((step = sqlite3_step(s.get())) == SQLITE_ROW) {
    ++row;
    const sqlite3_int64 num = sqlite3_column_int64(s.get(), 0);
    const std::string_view t = ColumnText(s.get(), 5);
    const std::optional<std::uint8_t> carrier = CarrierByFullName(t);
    const auto fail = [&](const std::string& reason) {
      *error = "block " + std::to_string(num) + ": " + reason;
      return false;
    };
    if (sqlite3_column_type(s.get(), 0) != SQLITE_INTEGER || num < kLowestBlock ||
        num > kHighestBlock) {
      return fail("not a seven-digit block starting with 1");
    }
    if (!carrier) return fail("unknown carrier \"" + std::string(t) + "\"");
    Place place{std::string(ColumnText(s.get(), 1)), std::string(ColumnText(s.get(), 2)),
                std::string(ColumnText(s.get(), 3)), std::string(ColumnText(s.get(), 4)), *carrier};
    if (place.Area() != ColumnText(s.get(), 6)) {
      return fail("area \"" + std::string(ColumnText(s.get(), 6)) + "\" should be \"" +
                  place.Area() + "\"");
    }
    if (std::string reason = builder.Add(static_cast<std::uint32_t>(num), std::move(place), row);
        !reason.empty()) {
      return fail(reason);
    }
  }
  if (step != SQLITE_DONE) return *error = Message(db), false;
  return builder.Finish(table, error);
}

// ---- Verifying ----

bool CheckIntegrity(sqlite3* db, std::string* error) {
  Stmt s = Prepare(db, "PRAGMA integrity_check", error);
  if (!s) return false;
  std::string problems;
  while (sqlite3_step(s.get()) == SQLITE_ROW) {
    const std::string_view line = ColumnText(s.get(), 0);
    if (line == "ok") return true;
    if (problems.empty()) problems = line;
  }
  *error = "integrity check failed: " + (problems.empty() ? Message(db) : problems);
  return false;
}

bool CheckPlan(sqlite3* db, std::uint32_t block, std::string* error) {
  const std::vector<std::string> plan = ProgramQueryPlan(db, std::to_string(block), error);
  for (const std::string& step : plan) {
    if (step.starts_with("SEARCH b USING INTEGER PRIMARY KEY")) return true;
  }
  if (error->empty()) *error = "the program's statement is not an index look-up";
  return false;
}

bool CheckImage(const LocationDb& db, std::string* error) {
  if (db.image.empty()) return *error = "the file has no lookup image", false;
  lookup_image::LookupImage image;
  if (!lookup_image::LookupImage::Open(db.image, &image, error)) return false;
  if (image.data_version() != db.data_version) {
    *error = "lookup image: data version " + std::string(image.data_version()) +
             " differs from the file's " + db.data_version;
    return false;
  }
  if (image.row_count() != db.table.blocks.size()) {
    *error = "lookup image: " + std::to_string(image.row_count()) + " rows, the table has " +
             std::to_string(db.table.blocks.size());
    return false;
  }
  // Equal row counts and every table row found means no extra rows either.
  for (const Block& b : db.table.blocks) {
    const Place& p = db.table.PlaceOf(b);
    const std::uint16_t id = image.PlaceId(b.num);
    using lookup_image::Field;
    const bool same =
        id != 0 && image.Text(id, Field::kArea) == p.Area() && image.Text(id, Field::kT) == p.T() &&
        image.Text(id, Field::kProvince) == p.province && image.Text(id, Field::kCity) == p.city &&
        image.Text(id, Field::kZip) == p.zip && image.Text(id, Field::kCode) == p.code;
    if (!same) {
      *error = "lookup image: block " + std::to_string(b.num) + " differs from the table";
      return false;
    }
  }
  return true;
}

// Opens the file as the program does, through the data-access layer with the
// program's connection text and statement, and reads a few blocks back.
bool CheckProgramOpens(const std::filesystem::path& path, std::string_view password,
                       const BlockTable& table, std::string* error) {
  const std::string file = std::filesystem::absolute(path).string();
  std::u16string connection;
  // A connection text cannot name a path with a semicolon or a blank at its
  // end, nor one that is not UTF-8; such a file is checked through SQLite.
  if (file.find(';') != std::string::npos || file.back() == ' ' ||
      !Utf8ToUtf16("Provider=" + std::string(provider::kProviderName) + "; Data Source=" + file +
                       ";Jet OLEDB:Database Password=" + std::string(password) + ";",
                   &connection)) {
    return true;
  }
  ado::Initialize();
  ado::Connection conn;
  const std::string fail = "the program's data-access layer cannot use the file: ";
  if (ado::Status s = conn.Open(connection, u"", u"", -1); !s) {
    *error = fail + "the open failed";
    return false;
  }
  for (const Block* b :
       {&table.blocks.front(), &table.blocks[table.blocks.size() / 2], &table.blocks.back()}) {
    const Place& place = table.PlaceOf(*b);
    std::u16string statement, area, t;
    Utf8ToUtf16("select * from Mobile where num='" + std::to_string(b->num) + "'", &statement);
    Utf8ToUtf16(place.Area(), &area);
    Utf8ToUtf16(place.T(), &t);
    ado::Recordset rs;
    ado::Variant area_value, t_value;
    if (!rs.Open(statement, &conn, 3, 3, ado::kCmdText) || rs.Eof() ||
        !rs.Collect(u"area", &area_value) || !rs.Collect(u"t", &t_value) ||
        area_value.vt != ado::kVtBstr || t_value.vt != ado::kVtBstr || area_value.text != area ||
        t_value.text != t) {
      *error = fail + "block " + std::to_string(b->num) + " does not read back as written";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string CheckDatabasePassword(std::string_view password) {
  if (password.empty()) return "the password is empty";
  if (password.find(';') != std::string_view::npos) {
    return "the password contains a semicolon, which the connection text cannot carry";
  }
  if (password.front() == ' ' || password.back() == ' ') {
    return "the password starts or ends with a blank, which the connection text trims";
  }
  for (char c : password) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return "the password contains a control character";
    }
  }
  return {};
}

bool WriteLocationDb(const BlockTable& table, const WriteOptions& options,
                     const std::filesystem::path& out, std::string* error) {
  if (std::string reason = CheckDatabasePassword(options.password); !reason.empty()) {
    *error = reason;
    return false;
  }
  if (!IsValidDataVersion(options.data_version)) {
    *error = "the data version must be 1 to 16 printable ASCII characters without blanks";
    return false;
  }
  std::unique_ptr<PendingFile> pending = PendingFile::Create(out, error);
  if (!pending) return false;
  pending->CloseDescriptor();
  {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(pending->path().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) {
      *error =
          "cannot open " + pending->path().string() + ": " + (raw ? Message(raw) : "out of memory");
      return false;
    }
    std::string reason;
    if (!WriteTables(db.get(), table, options, &reason)) {
      *error = "cannot write " + pending->path().string() + ": " + reason;
      return false;
    }
    if (sqlite3_close(db.release()) != SQLITE_OK) {
      *error = "cannot close " + pending->path().string();
      return false;
    }
  }
  Verified verified;
  std::string reason;
  if (!VerifyLocationDb(pending->path(), options.password, &verified, &reason)) {
    *error = "the written file failed its check: " + reason;
    return false;
  }
  if (verified.rows != static_cast<std::int64_t>(table.blocks.size()) ||
      verified.data_version != options.data_version) {
    *error = "the written file failed its check: it holds " + std::to_string(verified.rows) +
             " rows of data version " + verified.data_version + " instead of " +
             std::to_string(table.blocks.size()) + " of " + options.data_version;
    return false;
  }
  return pending->Commit(error);
}

bool ReadLocationDb(const std::filesystem::path& path, std::string_view password, LocationDb* db,
                    std::string* error) {
  Db handle = OpenChecked(path, password, error);
  if (!handle) return false;
  LocationDb result;
  Meta meta;
  std::string reason;
  if (!ReadMeta(handle.get(), &meta, &reason) || !ReadTable(handle.get(), &result.table, &reason)) {
    *error = path.string() + ": " + reason;
    return false;
  }
  result.data_version = std::move(*meta.data_version);
  result.row_count = *meta.row_count;
  result.image = std::move(meta.image);
  *db = std::move(result);
  return true;
}

bool VerifyLocationDb(const std::filesystem::path& path, std::string_view password,
                      Verified* verified, std::string* error) {
  Db handle = OpenChecked(path, password, error);
  if (!handle) return false;
  std::string reason;
  const auto fail = [&] {
    *error = path.string() + ": " + reason;
    return false;
  };
  if (!CheckIntegrity(handle.get(), &reason)) return fail();
  LocationDb db;
  Meta meta;
  if (!ReadMeta(handle.get(), &meta, &reason) || !ReadTable(handle.get(), &db.table, &reason)) {
    return fail();
  }
  db.data_version = *meta.data_version;
  db.row_count = *meta.row_count;
  db.image = std::move(meta.image);
  if (!IsValidDataVersion(db.data_version)) {
    reason = "bad data version \"" + db.data_version + "\"";
    return fail();
  }

  Stmt count = Prepare(handle.get(), "SELECT count(*) FROM Mobile", &reason);
  if (!count || sqlite3_step(count.get()) != SQLITE_ROW) return fail();
  const std::int64_t rows = sqlite3_column_int64(count.get(), 0);
  if (rows != db.row_count || rows != static_cast<std::int64_t>(db.table.blocks.size())) {
    reason = "the metadata says " + std::to_string(db.row_count) + " rows, Mobile has " +
             std::to_string(rows) + ", of which " + std::to_string(db.table.blocks.size()) +
             " are distinct blocks";
    return fail();
  }
  if (!CheckPlan(handle.get(), db.table.blocks.front().num, &reason)) return fail();
  if (!CheckImage(db, &reason)) return fail();
  handle.reset();
  if (!CheckProgramOpens(path, password, db.table, &reason)) return fail();

  verified->rows = rows;
  verified->data_version = db.data_version;
  verified->summary = path.string() + ": ok, " + std::to_string(rows) + " rows, data version " +
                      db.data_version + ", " + std::to_string(db.table.places.size()) +
                      " places, lookup image " + std::to_string(db.image.size()) + " bytes";
  return true;
}

std::vector<std::string> ProgramQueryPlan(sqlite3* db, std::string_view block, std::string* error) {
  const std::string sql =
      "EXPLAIN QUERY PLAN select * from Mobile where num='" + std::string(block) + "'";
  std::vector<std::string> plan;
  Stmt s = Prepare(db, sql, error);
  if (!s) return plan;
  while (sqlite3_step(s.get()) == SQLITE_ROW) plan.emplace_back(ColumnText(s.get(), 3));
  return plan;
}

}  // namespace zdb
