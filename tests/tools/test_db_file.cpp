// The location database file: what the program reads from it, that a write
// replaces the old file only when complete, and that verify finds damage.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "lookup/lookup_command.h"
#include "platform/ado.h"
#include "tests/support/fixture_db.h"
#include "tests/tools/db_fixtures.h"
#include "tools/common/location_db.h"
#include "tools/common/table_io.h"

namespace {

namespace fs = std::filesystem;
using zorvane_test::TempDir;

zdb::BlockTable SmallTable() {
  zdb::BlockTable table;
  std::string error;
  if (!zdb::ParseTable(db_test::kSmallTsv, zdb::TableFormat::kTsv, &table, &error)) {
    ADD_FAILURE() << error;
  }
  return table;
}

void Write(const fs::path& file, std::string_view password = kDatabasePassword) {
  std::string error;
  ASSERT_TRUE(
      zdb::WriteLocationDb(SmallTable(), {std::string(password), "2025-02-01"}, file, &error))
      << error;
}

// Runs SQL on a database file, as a damaged or hand-edited file would be.
void Edit(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  EXPECT_TRUE(zdb::Utf8ToUtf16(utf8, &out));
  return out;
}

class LocationDbFile : public testing::Test {
 protected:
  void SetUp() override { Write(file_); }

  TempDir dir_;
  fs::path file_ = dir_ / "Mobile_DB.dat";
};

TEST_F(LocationDbFile, TableRoundTripsThroughTheFile) {
  zdb::LocationDb db;
  std::string error;
  ASSERT_TRUE(zdb::ReadLocationDb(file_, kDatabasePassword, &db, &error)) << error;
  EXPECT_EQ(db.data_version, "2025-02-01");
  EXPECT_EQ(db.row_count, 10);
  EXPECT_EQ(zdb::FormatTable(db.table, zdb::TableFormat::kTsv), db_test::kSmallTsv);
  EXPECT_EQ(db_test::FilesIn(dir_.path()), std::vector<std::string>{"Mobile_DB.dat"});
}

TEST_F(LocationDbFile, TheProgramsStatementIsARowidSearch) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::string error;
  const std::vector<std::string> plan = zdb::ProgramQueryPlan(db, "1380013", &error);
  sqlite3_close(db);
  ASSERT_EQ(plan.size(), 2u) << error;
  EXPECT_TRUE(plan[0].starts_with("SEARCH b USING INTEGER PRIMARY KEY (rowid=?)")) << plan[0];
  EXPECT_TRUE(plan[1].starts_with("SEARCH p USING INTEGER PRIMARY KEY (rowid=?)")) << plan[1];
}

// Through the program's own data-access layer, with its connection text and
// statements: the quoted block finds its row; texts that the decomposition
// makes of bad input find none.
TEST_F(LocationDbFile, TheProgramReadsAreaAndCarrier) {
  ado::Initialize();
  ado::Connection connection;
  const std::u16string text = u"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" +
                              file_.u16string() + u";Jet OLEDB:Database Password=" +
                              Utf16(kDatabasePassword) + u";";
  ASSERT_TRUE(connection.Open(text, u"", u"", -1));
  struct Case {
    std::string block;
    std::string area;  // empty: no row
    std::string t;
  };
  const Case cases[] = {
      {"1380013", "北京", "中国移动"},
      {"1300000", "山东 济南", "中国联通"},
      {"1700000", "广东 广州", "中国移动(虚拟运营商)"},
      {"1678306", "重庆", "未知"},
      {"1380012", "", ""},
      {"0000000", "", ""},
      {"-1-2-4-9-1-1-2", "", ""},
      {"10000000", "", ""},
  };
  for (const Case& c : cases) {
    ado::Recordset rs;
    ASSERT_TRUE(rs.Open(Utf16("select * from Mobile where num='" + c.block + "'"), &connection, 3,
                        3, ado::kCmdText))
        << c.block;
    if (c.area.empty()) {
      EXPECT_TRUE(rs.Eof()) << c.block;
      continue;
    }
    ASSERT_FALSE(rs.Eof()) << c.block;
    ado::Variant area, t;
    ASSERT_TRUE(rs.Collect(u"area", &area));
    ASSERT_TRUE(rs.Collect(u"t", &t));
    EXPECT_EQ(area.vt, ado::kVtBstr);
    EXPECT_EQ(area.text, Utf16(c.area)) << c.block;
    EXPECT_EQ(t.text, Utf16(c.t)) << c.block;
  }
}

TEST_F(LocationDbFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::string before = db_test::ReadBytes(file_);
  zdb::BlockTable other = SmallTable();
  other.blocks.pop_back();
  std::string error;

  // Refused before anything is written.
  EXPECT_FALSE(zdb::WriteLocationDb(other, {"pass;word", "v1"}, file_, &error));
  EXPECT_EQ(error, "the password contains a semicolon, which the connection text cannot carry");
  EXPECT_FALSE(zdb::WriteLocationDb(other, {"password", "2025 02"}, file_, &error));

  // Refused: the target is a folder, which a rename would not replace.
  fs::create_directory(dir_ / "folder.dat");
  db_test::WriteText(dir_ / "folder.dat" / "inside", "x");
  EXPECT_FALSE(zdb::WriteLocationDb(other, {"password", "v1"}, dir_ / "folder.dat", &error));
  EXPECT_EQ(error,
            (dir_ / "folder.dat").string() + " exists and is not a regular file; not replacing it");

  EXPECT_EQ(db_test::ReadBytes(file_), before);
  EXPECT_EQ(db_test::FilesIn(dir_.path()),
            (std::vector<std::string>{"Mobile_DB.dat", "folder.dat"}));
}

TEST_F(LocationDbFile, ASuccessfulWriteReplacesTheFileAndKeepsItsPermissions) {
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  zdb::BlockTable smaller = SmallTable();
  smaller.blocks.resize(3);
  std::string error;
  ASSERT_TRUE(zdb::WriteLocationDb(smaller, {kDatabasePassword, "2025-03-01"}, file_, &error))
      << error;
  zdb::LocationDb db;
  ASSERT_TRUE(zdb::ReadLocationDb(file_, kDatabasePassword, &db, &error)) << error;
  EXPECT_EQ(db.table.blocks.size(), 3u);
  EXPECT_EQ(db.data_version, "2025-03-01");
  EXPECT_EQ(fs::status(file_).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(db_test::FilesIn(dir_.path()), std::vector<std::string>{"Mobile_DB.dat"});
}

TEST_F(LocationDbFile, AnotherPasswordLocksOutTheProgramsOwn) {
  Write(file_, "an0ther-Passw0rd");
  zdb::LocationDb db;
  std::string error;
  EXPECT_FALSE(zdb::ReadLocationDb(file_, kDatabasePassword, &db, &error));
  EXPECT_EQ(error, "the password does not open " + file_.string());
  EXPECT_TRUE(zdb::ReadLocationDb(file_, "an0ther-Passw0rd", &db, &error)) << error;

  ado::Initialize();
  ado::Connection connection;
  const std::u16string head = u"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" +
                              file_.u16string() + u";Jet OLEDB:Database Password=";
  EXPECT_FALSE(connection.Open(head + Utf16(kDatabasePassword) + u";", u"", u"", -1));
  EXPECT_TRUE(connection.Open(head + u"an0ther-Passw0rd;", u"", u"", -1));
}

TEST(DatabasePassword, RefusesWhatTheConnectionTextCannotCarry) {
  EXPECT_EQ(zdb::CheckDatabasePassword(kDatabasePassword), "");
  EXPECT_NE(zdb::CheckDatabasePassword(""), "");
  EXPECT_NE(zdb::CheckDatabasePassword("a;b"), "");
  EXPECT_NE(zdb::CheckDatabasePassword(" ab"), "");
  EXPECT_NE(zdb::CheckDatabasePassword("ab "), "");
  EXPECT_NE(zdb::CheckDatabasePassword("a\tb"), "");
}

struct Tampering {
  const char* name;
  std::string sql;
  std::string error;  // after "<file>: "
};

class VerifyFindsDamage : public testing::TestWithParam<Tampering> {};

TEST_P(VerifyFindsDamage, AndSaysWhat) {
  TempDir dir;
  const fs::path file = dir / "m.dat";
  Write(file);
  zdb::Verified verified;
  std::string error;
  ASSERT_TRUE(zdb::VerifyLocationDb(file, kDatabasePassword, &verified, &error)) << error;
  EXPECT_EQ(verified.rows, 10);

  Edit(file, GetParam().sql);
  EXPECT_FALSE(zdb::VerifyLocationDb(file, kDatabasePassword, &verified, &error));
  EXPECT_EQ(error, file.string() + ": " + GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VerifyFindsDamage,
    testing::Values(
        // One bit of the image's string pool (its last bytes before the checksum).
        Tampering{"ImageBit",
                  "UPDATE zorvane_meta SET value = CAST(substr(value, 1, length(value) - 33) || "
                  "x'00' || substr(value, length(value) - 31) AS BLOB) WHERE key = 'lookup_image'",
                  "lookup image: checksum mismatch (the image is damaged)"},
        Tampering{"ImageMissing", "DELETE FROM zorvane_meta WHERE key = 'lookup_image'",
                  "the file has no lookup image"},
        Tampering{"RowCount", "UPDATE zorvane_meta SET value = 11 WHERE key = 'row_count'",
                  "the metadata says 11 rows, Mobile has 10, of which 10 are distinct blocks"},
        Tampering{"RowRemoved", "DELETE FROM blocks WHERE num = 1380013",
                  "the metadata says 10 rows, Mobile has 9, of which 9 are distinct blocks"},
        // The image still says 1380013 is 北京 中国移动.
        Tampering{"RowChanged",
                  "UPDATE blocks SET place = (SELECT place FROM blocks WHERE num = 1300000) "
                  "WHERE num = 1380013",
                  "lookup image: block 1380013 differs from the table"},
        Tampering{"AreaNotFormed", "UPDATE places SET area = '北京 北京' WHERE area = '北京'",
                  "block 1380013: area \"北京 北京\" should be \"北京\""},
        Tampering{"UnknownCarrier", "UPDATE places SET t = '中国铁通' WHERE t = '中国广电'",
                  "block 1920000: unknown carrier \"中国铁通\""},
        Tampering{"TextBlock",
                  "DROP VIEW Mobile; CREATE VIEW Mobile AS SELECT CAST(b.num AS TEXT) "
                  "AS num, p.area AS area, p.t AS t FROM blocks b JOIN places p "
                  "ON p.id = b.place",
                  "the program's statement is not an index look-up"}),
    [](const testing::TestParamInfo<Tampering>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(VerifyRefuses, FilesThatAreNotLocationDatabases) {
  TempDir dir;
  db_test::WriteText(dir / "text.dat", "not a database at all, just text that is long enough....");
  zorvane_test::WriteSqliteDb(dir / "plain.dat",
                              "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT)");
  zdb::Verified verified;
  std::string error;
  EXPECT_FALSE(zdb::VerifyLocationDb(dir / "missing.dat", kDatabasePassword, &verified, &error));
  EXPECT_EQ(error, "cannot read " + (dir / "missing.dat").string() + ": No such file or directory");
  EXPECT_FALSE(zdb::VerifyLocationDb(dir / "text.dat", kDatabasePassword, &verified, &error));
  EXPECT_TRUE(error.starts_with((dir / "text.dat").string() + " is not a location database"))
      << error;
  EXPECT_FALSE(zdb::VerifyLocationDb(dir / "plain.dat", kDatabasePassword, &verified, &error));
  EXPECT_EQ(error, (dir / "plain.dat").string() +
                       " is not a location database (no such table: zorvane_meta)");
}

}  // namespace
