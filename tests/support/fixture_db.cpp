#include "tests/support/fixture_db.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

namespace zorvane_test {
namespace {

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

[[noreturn]] void Throw(sqlite3* db, std::string_view what) {
  throw std::runtime_error(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no handle"));
}

void Exec(sqlite3* db, std::string_view sql) {
  if (sql.empty()) return;
  const std::string text(sql);
  if (sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    Throw(db, "fixture statement failed");
  }
}

Db Create(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) Throw(raw, "cannot create " + file.string());
  // A fixture need not survive a power cut; no journal file is left either.
  Exec(db.get(), "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY;");
  return db;
}

void PutMeta(sqlite3* db, std::string_view key, const void* blob, std::size_t size) {
  sqlite3_stmt* raw = nullptr;
  const std::string sql = "INSERT INTO " + std::string(provider::kMetaTable) + " VALUES (?, ?)";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) Throw(db, sql);
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
  sqlite3_bind_text(raw, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  sqlite3_bind_blob(raw, 2, blob, static_cast<int>(size), SQLITE_TRANSIENT);
  if (sqlite3_step(raw) != SQLITE_DONE) Throw(db, sql);
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteSqliteDb(const std::filesystem::path& file, std::string_view sql) {
  Db db = Create(file);
  Exec(db.get(), sql);
}

void WriteProviderDb(const std::filesystem::path& file, std::string_view password,
                     std::string_view sql, int iterations) {
  Db db = Create(file);
  const std::string meta = std::string(provider::kMetaTable);
  Exec(db.get(), "CREATE TABLE " + meta + "(key TEXT PRIMARY KEY, value) WITHOUT ROWID;" +
                     "INSERT INTO " + meta + " VALUES ('" + std::string(provider::kFormatKey) +
                     "', '" + std::string(provider::kFormat) + "'), ('" +
                     std::string(provider::kIterationsKey) + "', " + std::to_string(iterations) +
                     ");");
  const provider::PasswordVerifier made = provider::MakeVerifier(password, iterations);
  PutMeta(db.get(), provider::kSaltKey, made.salt.data(), made.salt.size());
  PutMeta(db.get(), provider::kVerifierKey, made.verifier.data(), made.verifier.size());
  Exec(db.get(), sql);
}

}  // namespace zorvane_test
