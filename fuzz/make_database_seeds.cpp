// Writes the seed files of the database_open target into the folder given:
//
//   program.dat   the provider's format with a plain Mobile table
//   tool.dat      a database as zorvane-db writes it (tables, view, lookup image)
//   types.dat     a Mobile table of every declared type the provider maps
//   password.dat  the provider's format, opened by another password
//   foreign.dat   an SQLite file of another schema
//
// Each with one PBKDF2 iteration (an open then costs microseconds) and
// 512-byte pages (so the files are a few KiB and the fuzzer's mutations land
// on structure rather than free space).
//
//   build-fuzz/fuzz/make_database_seeds fuzz/corpus/database_open
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "lookup/lookup_command.h"
#include "platform/provider_file.h"
#include "tests/support/fixture_db.h"
#include "tools/common/location_db.h"
#include "tools/common/table_io.h"

namespace {

void Exec(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "no handle";
    sqlite3_close(db);
    throw std::runtime_error(file.string() + ": " + message);
  }
  sqlite3_close(db);
}

void Shrink(const std::filesystem::path& file) {
  Exec(file, "PRAGMA journal_mode=DELETE; PRAGMA page_size=512; VACUUM;");
}

// A fresh verifier of one iteration in place of the one the tool wrote.
void OneIteration(const std::filesystem::path& file, const char* password) {
  const provider::PasswordVerifier v = provider::MakeVerifier(password, 1);
  auto hex = [](const std::vector<std::uint8_t>& bytes) {
    std::string out = "X'";
    for (std::uint8_t b : bytes) {
      char two[3];
      std::snprintf(two, sizeof two, "%02X", b);
      out += two;
    }
    return out + "'";
  };
  Exec(file,
       "UPDATE zorvane_meta SET value = 1 WHERE key = 'password_iterations';"
       "UPDATE zorvane_meta SET value = " +
           hex(v.salt) +
           " WHERE key = 'password_salt';"
           "UPDATE zorvane_meta SET value = " +
           hex(v.verifier) + " WHERE key = 'password_verifier';");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_database_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  try {
    zorvane_test::WriteProviderDb(folder / "program.dat", kDatabasePassword,
                                  "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);"
                                  "INSERT INTO Mobile VALUES ('1380013', '北京', '中国移动'),"
                                  " ('1861234', '上海', '中国电信');",
                                  1);
    Shrink(folder / "program.dat");

    zdb::BlockTable table;
    std::string error;
    if (!zdb::ParseTable("num\tprovince\tcity\tzip\tareacode\tcarrier\n"
                         "1380013\t北京\t北京\t100000\t010\t移动\n"
                         "1380014\t广东\t广州\t510000\t020\t联通\n",
                         zdb::TableFormat::kTsv, &table, &error) ||
        !zdb::WriteLocationDb(table, {.password = kDatabasePassword, .data_version = "seed"},
                              folder / "tool.dat", &error)) {
      throw std::runtime_error(error);
    }
    OneIteration(folder / "tool.dat", kDatabasePassword);
    Shrink(folder / "tool.dat");

    zorvane_test::WriteProviderDb(
        folder / "types.dat", kDatabasePassword,
        "CREATE TABLE Mobile(num TEXT, area MEMO, t VARCHAR(50), b YESNO, y BYTE, s SHORT,"
        " l LONG, f SINGLE, d DOUBLE, c CURRENCY, w DATETIME, o LONGBINARY, x);"
        "INSERT INTO Mobile VALUES ('1380013', '北京', '中国移动', 1, 255, -32768, 2147483647,"
        " 1.5, 2.25, 12345, '2023-02-28 13:45:10.5', X'00FF', NULL),"
        " ('1380013', NULL, 7, 0, 256, 40000, 1e300, 1e39, 'x', 1.00005, 45000.25, 'blob', 3.5),"
        " (1380013, X'41', '', 2, -1, 'a', 9223372036854775807, -0.0, -1e308, -922337203685477,"
        " '1899-12-29 23:59:59', 12, 'text');",
        1);
    Shrink(folder / "types.dat");

    zorvane_test::WriteProviderDb(folder / "password.dat", "another password",
                                  "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT);", 1);
    Shrink(folder / "password.dat");

    zorvane_test::WriteSqliteDb(folder / "foreign.dat",
                                "CREATE TABLE Mobile(num INTEGER PRIMARY KEY, area BLOB);"
                                "INSERT INTO Mobile VALUES (1380013, X'C0AF');");
    Shrink(folder / "foreign.dat");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_database_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
