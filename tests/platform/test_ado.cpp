// The data-access layer against fixture database files: connection text,
// the failure table, value kinds, cursors, and that the file stays untouched.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/ado.h"
#include "tests/support/fixture_db.h"

namespace {

namespace fs = std::filesystem;
using zorvane_test::TempDir;
using zorvane_test::WriteProviderDb;
using zorvane_test::WriteSqliteDb;

constexpr char kPassword[] = "Rk#5pLx%qN2*zVm8^";
constexpr char16_t kPassword16[] = u"Rk#5pLx%qN2*zVm8^";

constexpr char kMobileTable[] =
    "CREATE TABLE Mobile(num TEXT, area TEXT, t TEXT, zip TEXT, code TEXT);"
    "CREATE UNIQUE INDEX mobile_num ON Mobile(num);"
    "INSERT INTO Mobile VALUES ('1380013', '北京', '中国移动', '100000', '010'),"
    "  ('1300000', NULL, '中国联通', NULL, NULL);";

std::u16string ConnectionText(const fs::path& file, std::u16string_view password = kPassword16) {
  std::u16string text = u"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + file.u16string();
  if (!password.empty()) {
    text += u";Jet OLEDB:Database Password=";
    text += password;
    text += u";";
  }
  return text;
}

ado::Status Open(ado::Connection& connection, std::u16string_view text) {
  return connection.Open(text, u"", u"", ado::kCmdUnspecified);
}

std::u16string Ascii(std::string_view text) { return {text.begin(), text.end()}; }

// The text of one field of the current row, or the description of the failure.
std::u16string FieldText(const ado::Recordset& recordset, std::u16string_view field) {
  ado::Variant value;
  ado::Status status = recordset.Collect(field, &value);
  if (!status) return u"error: " + status.description();
  return value.text;
}

// Changes the current directory for one test.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const fs::path& to) : before_(fs::current_path()) {
    fs::current_path(to);
  }
  ~ScopedCurrentDirectory() { fs::current_path(before_); }

 private:
  fs::path before_;
};

class AdoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_ / "Source");
    WriteProviderDb(db_, kPassword, kMobileTable);
  }

  ado::Status OpenDb(ado::Connection& connection) { return Open(connection, ConnectionText(db_)); }

  ado::Status Query(ado::Recordset& recordset, ado::Connection& connection, std::u16string_view sql,
                    std::int32_t options = ado::kCmdText) {
    return recordset.Open(sql, &connection, 3, 3, options);
  }

  TempDir dir_;
  fs::path db_ = dir_ / "Source" / "Mobile_DB.dat";
};

// ---- Connection text ----

TEST_F(AdoTest, ConnectionTextIsParsedAsTheProviderReadsIt) {
  WriteProviderDb(dir_ / "quoted.dat", "p;w'd");
  ScopedCurrentDirectory here(dir_.path());
  const std::u16string abs = db_.u16string();
  struct Case {
    std::u16string text;
    std::u16string error;  // empty: opens
  } cases[] = {
      {ConnectionText(db_), u""},
      {u"  provider = microsoft.jet.oledb.4.0 ;DATA SOURCE =  " + abs +
           u"  ; jet oledb:database password =  Rk#5pLx%qN2*zVm8^  ",
       u""},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Source\\Mobile_DB.dat;"
       u"Jet OLEDB:Database Password=Rk#5pLx%qN2*zVm8^",
       u""},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=.\\Source/Mobile_DB.dat;"
       u"Jet OLEDB:Database Password=Rk#5pLx%qN2*zVm8^;;",
       u""},
      {u";Persist Security Info=False; Mode = Read ;Provider=Microsoft.Jet.OLEDB.4.0;"
       u"Data Source=" +
           abs + u";Jet OLEDB:Database Password=Rk#5pLx%qN2*zVm8^;",
       u""},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=quoted.dat;"
       u"Jet OLEDB:Database Password=\"p;w'd\"",
       u""},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source='quoted.dat' ;"
       u"Jet OLEDB:Database Password='p;w''d';",
       u""},
      // A semicolon that is not quoted ends the value.
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=quoted.dat;"
       u"Jet OLEDB:Database Password=p;w'd;",
       u"连接字符串的格式不正确：每一项都应为“名称=值”，引号必须成对。"},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=quoted.dat;"
       u"Jet OLEDB:Database Password=\"p;w'd",
       u"连接字符串的格式不正确：每一项都应为“名称=值”，引号必须成对。"},
      {u"Provider=SQLOLEDB; Data Source=" + abs,
       u"未找到提供程序“SQLOLEDB”。该程序可能未正确安装。"},
      {u"Provider=Microsoft.Jet.OLEDB.3.51; Data Source=" + abs,
       u"未找到提供程序“Microsoft.Jet.OLEDB.3.51”。该程序可能未正确安装。"},
      {u"Data Source=" + abs, u"连接字符串中没有指定提供程序（Provider）。"},
      {u"Provider=Microsoft.Jet.OLEDB.4.0; Data Source= ;",
       u"连接字符串中没有指定数据源（Data Source）。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fs::path(c.text).string());
    ado::Connection connection;
    ado::Status status = Open(connection, c.text);
    EXPECT_EQ(status.description(), c.error);
    EXPECT_EQ(connection.IsOpen(), c.error.empty());
  }
}

TEST_F(AdoTest, PathWithCharactersSpecialInUrisOpensThatFile) {
  // Were the path not escaped, "%41" would name "A" and "?" would start the
  // URI's parameters.
  const fs::path folder = dir_.path() / u8"数据 ?#%41&=+[]'";
  fs::create_directory(folder);
  const fs::path file = folder / "a%20b?x.dat";
  WriteProviderDb(file, kPassword, kMobileTable);
  ado::Connection connection;
  ado::Status status =
      Open(connection, u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + file.u16string() +
                           u"\";Jet OLEDB:Database Password=" + kPassword16);
  ASSERT_TRUE(status) << fs::path(status.description()).string();
  ado::Recordset recordset;
  ASSERT_TRUE(recordset.Open(u"select * from Mobile where num='1380013'", &connection, 3, 3, 1));
  EXPECT_EQ(FieldText(recordset, u"area"), u"北京");
}

// ---- Failures at open ----

TEST_F(AdoTest, OpenFailsWithADescriptionNamingTheCause) {
  const fs::path missing = dir_ / "Source" / "missing.dat";
  const fs::path empty = dir_ / "empty.dat";
  const fs::path noise = dir_ / "noise.dat";
  const fs::path text = dir_ / "text.dat";
  const fs::path other = dir_ / "other.dat";
  const fs::path wrong_format = dir_ / "wrong_format.dat";
  const fs::path no_verifier = dir_ / "no_verifier.dat";
  std::ofstream(empty, std::ios::binary).flush();
  {
    std::mt19937 random(7);
    std::ofstream out(noise, std::ios::binary);
    for (int i = 0; i < 8192; ++i) out.put(static_cast<char>(random()));
  }
  std::ofstream(text) << "Standard Jet DB\n";
  WriteSqliteDb(other, kMobileTable);
  WriteProviderDb(wrong_format, kPassword,
                  "UPDATE zorvane_meta SET value = 'zorvane-location-db 2' WHERE key = 'format'");
  WriteProviderDb(no_verifier, kPassword,
                  "DELETE FROM zorvane_meta WHERE key = 'password_verifier'");
  // Found by the database fuzzer: the count is read before the password is
  // checked, and this one would keep the open deriving for many minutes.
  const fs::path endless = dir_ / "endless.dat";
  WriteProviderDb(endless, kPassword,
                  "UPDATE zorvane_meta SET value = 2147483647 WHERE key = 'password_iterations'");

  auto not_ours = [](const fs::path& p) {
    return u"无法识别的数据库格式“" + p.u16string() + u"”。";
  };
  struct Case {
    std::u16string text;
    std::u16string error;
  } cases[] = {
      {ConnectionText(missing), u"找不到文件“" + missing.u16string() + u"”。"},
      {ConnectionText(dir_ / "nowhere" / "x.dat"),
       u"找不到文件“" + (dir_ / "nowhere" / "x.dat").u16string() + u"”。"},
      {ConnectionText(empty), not_ours(empty)},
      {ConnectionText(noise), not_ours(noise)},
      {ConnectionText(text), not_ours(text)},
      {ConnectionText(dir_ / "Source"), not_ours(dir_ / "Source")},
      {ConnectionText(other), not_ours(other)},
      {ConnectionText(wrong_format), not_ours(wrong_format)},
      {ConnectionText(no_verifier), not_ours(no_verifier)},
      {ConnectionText(endless), not_ours(endless)},
      {ConnectionText(db_, u"Rk#5pLx%qN2*zVm8"), u"不是有效的密码。"},
      {ConnectionText(db_, u"rk#5plx%qn2*zvm8^"), u"不是有效的密码。"},
      {ConnectionText(db_, u""), u"不是有效的密码。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fs::path(c.text).string());
    ado::Connection connection;
    EXPECT_EQ(Open(connection, c.text).description(), c.error);
    EXPECT_FALSE(connection.IsOpen());
  }
  EXPECT_FALSE(fs::exists(missing)) << "a failed open must not create the file";
}

TEST_F(AdoTest, UnreadableFileIsReportedAsSuch) {
  fs::permissions(db_, fs::perms::none);
  // Root reads every file; drop to another user's file access for the open.
  const bool root = geteuid() == 0;
  if (root) setfsuid(65534);
  ado::Connection connection;
  ado::Status status = Open(connection, ConnectionText(db_));
  if (root) setfsuid(0);
  EXPECT_EQ(status.description(), u"无法打开文件“" + db_.u16string() + u"”：没有读取它的权限。");
  EXPECT_FALSE(connection.IsOpen());
}

TEST_F(AdoTest, ConnectionOpensOnceAndClosesAnyNumberOfTimes) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  EXPECT_EQ(OpenDb(connection).description(), u"对象打开时，不允许操作。");
  EXPECT_TRUE(connection.IsOpen());
  EXPECT_TRUE(connection.Close());
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_TRUE(connection.Close());
  EXPECT_TRUE(OpenDb(connection));
  EXPECT_TRUE(connection.IsOpen());
}

// ---- Record set ----

TEST_F(AdoTest, LookupReadsTheRowOfTheBlock) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Recordset recordset;
  ASSERT_TRUE(Query(recordset, connection, u"select * from Mobile where num='1380013'"));
  EXPECT_FALSE(recordset.Eof());
  EXPECT_EQ(FieldText(recordset, u"area"), u"北京");
  EXPECT_EQ(FieldText(recordset, u"T"), u"中国移动");
  EXPECT_EQ(FieldText(recordset, u"Area"), u"北京");
  ado::Variant null_area;
  ASSERT_TRUE(recordset.Close());
  ASSERT_TRUE(Query(recordset, connection, u"select * from Mobile where num='1300000'"));
  ASSERT_TRUE(recordset.Collect(u"area", &null_area));
  EXPECT_EQ(null_area.vt, ado::kVtNull);
  EXPECT_EQ(FieldText(recordset, u"t"), u"中国联通");
}

// Statements that differ only in their literals share one prepared shape; the
// literals must still reach the statement exactly, and texts the shape cannot
// carry must still run as written.
TEST_F(AdoTest, LiteralsReachTheStatementWhetherOrNotItsShapeIsKept) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  struct {
    std::u16string_view sql;
    std::u16string_view first_field;  // of the only row, or "" for no row
  } const cases[] = {
      {u"select * from Mobile where num='1380013'", u"1380013"},
      {u"select * from Mobile where num='1300000'", u"1300000"},
      {u"select * from Mobile where num='1999999'", u""},
      {u"select * from Mobile where num='1380013' -- it's a comment", u"1380013"},
      {u"select * from Mobile /* 'x' */ where num='1300000';", u"1300000"},
      {u"select 'it''s' as num", u"it's"},
      {u"select '' as num", u""},
      {u"select \"num\" from Mobile where \"num\"='1380013'", u"1380013"},
      {u"select hex(X'4142') as num", u"4142"},
      {u"select 'a' || ? as num", u""},  // a parameter of its own, unbound: null
      {u"select name as num from pragma_table_info('Mobile') where cid=0", u"num"},
      {u"select * from 'Mobile' where num='1380013'", u"1380013"},  // a string as a name
  };
  for (const auto& c : cases) {
    ado::Recordset recordset;
    ASSERT_TRUE(Query(recordset, connection, c.sql)) << std::string(c.sql.begin(), c.sql.end());
    if (c.first_field.empty() && recordset.Eof()) continue;
    ASSERT_FALSE(recordset.Eof());
    ado::Variant value;
    ASSERT_TRUE(recordset.Collect(u"num", &value));
    EXPECT_EQ(value.vt == ado::kVtNull ? u"" : value.text, c.first_field);
  }
}

TEST_F(AdoTest, ManyShapesInTurnStayCorrect) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < 40; ++k) {
      // Forty shapes, more than a connection keeps.
      std::u16string sql =
          u"select num, " + Ascii(std::to_string(k)) + u" as k from Mobile where num='1380013'";
      ado::Recordset recordset;
      ASSERT_TRUE(Query(recordset, connection, sql));
      ado::Variant value;
      ASSERT_TRUE(recordset.Collect(u"k", &value));
      EXPECT_EQ(value.integer, k);
    }
  }
}

// A file made so that the program's statement never ends: the read stops
// with a description instead of hanging the program.
TEST_F(AdoTest, AStatementThatNeverEndsIsStopped) {
  const fs::path endless = dir_ / "endless.dat";
  WriteProviderDb(endless, kPassword,
                  "CREATE VIEW Mobile AS WITH RECURSIVE c(x) AS "
                  "(SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x AS num, 'a' AS area, "
                  "'t' AS t FROM c;");
  ado::Connection connection;
  ASSERT_TRUE(Open(connection, ConnectionText(endless)));
  for (std::int32_t location : {ado::kUseClient, ado::kUseServer}) {
    ado::Recordset recordset;
    ASSERT_TRUE(recordset.SetCursorLocation(location));
    const ado::Status status =
        Query(recordset, connection, u"select * from Mobile where num='1380013'");
    EXPECT_FALSE(status) << location;
    EXPECT_NE(status.description().find(u"工作量"), std::u16string::npos) << location;
    EXPECT_FALSE(recordset.IsOpen());
  }
  // The connection still answers an ordinary statement.
  ado::Recordset recordset;
  EXPECT_TRUE(Query(recordset, connection, u"select * from Mobile limit 3"));
}

TEST_F(AdoTest, EmptyResultIsAtItsEndAtOnce) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  for (std::int32_t location : {ado::kUseNone, ado::kUseServer, ado::kUseClient}) {
    ado::Recordset recordset;
    ASSERT_TRUE(recordset.SetCursorLocation(location));
    ASSERT_TRUE(Query(recordset, connection, u"select * from Mobile where num='0000000'"));
    EXPECT_TRUE(recordset.IsOpen());
    EXPECT_TRUE(recordset.Eof());
    const std::u16string no_row =
        u"BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。";
    EXPECT_EQ(FieldText(recordset, u"area"), u"error: " + no_row);
    EXPECT_EQ(recordset.MoveNext().description(), no_row);
  }
}

TEST_F(AdoTest, RecordSetFailuresCarryADescription) {
  WriteProviderDb(dir_ / "no_mobile.dat", kPassword, "CREATE TABLE Other(num TEXT)");
  ado::Connection without_mobile;
  ASSERT_TRUE(Open(without_mobile, ConnectionText(dir_ / "no_mobile.dat")));
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Connection closed;

  const std::u16string unusable = u"连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。";
  const std::u16string rejected = u"数据库引擎无法执行该语句（";
  struct Case {
    ado::Connection* connection;
    std::u16string source;
    std::int32_t options;
    std::u16string error;  // the description, or its beginning when it ends in "（"
  } cases[] = {
      {nullptr, u"select * from Mobile", 1, unusable},
      {&closed, u"select * from Mobile", 1, unusable},
      {&without_mobile, u"select * from Mobile where num='1380013'", 1,
       rejected + u"no such table: Mobile）。"},
      {&without_mobile, u"Mobile", 2, rejected + u"no such table: Mobile）。"},
      {&connection, u"select * from Mobile where number='1380013'", 1,
       rejected + u"no such column: number）。"},
      {&connection, u"selec * from Mobile", 1, rejected},
      {&connection, u"Mobile; DROP TABLE Mobile", 2,
       rejected + u"no such table: Mobile; DROP TABLE Mobile）。"},
      {&connection, u"select * from Mobile; delete from Mobile", 1,
       u"在 SQL 语句结尾之后找到字符。"},
      {&connection, u"delete from Mobile", 1, u"数据库以只读方式打开，不能执行修改数据的语句。"},
      {&connection, u"", 1, u"没有为记录集指定命令文本或表名。"},
      {&connection, u"  -- nothing", 1, u"没有为记录集指定命令文本或表名。"},
      {&connection, u"Mobile", 4, u"参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(fs::path(c.source).string());
    ado::Recordset recordset;
    ado::Status status = recordset.Open(c.source, c.connection, 3, 3, c.options);
    if (c.error.ends_with(u"（")) {
      EXPECT_TRUE(status.description().starts_with(c.error))
          << fs::path(status.description()).string();
    } else {
      EXPECT_EQ(status.description(), c.error);
    }
    EXPECT_FALSE(recordset.IsOpen());
    EXPECT_TRUE(recordset.Eof());
  }
}

TEST_F(AdoTest, RecordSetStateRules) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Recordset recordset;
  const std::u16string closed = u"对象关闭时，不允许操作。";
  EXPECT_EQ(FieldText(recordset, u"area"), u"error: " + closed);
  EXPECT_EQ(recordset.MoveNext().description(), closed);
  EXPECT_TRUE(recordset.Close());

  for (std::int32_t bad : {0, 4, -1}) EXPECT_FALSE(recordset.SetCursorLocation(bad));
  EXPECT_EQ(recordset.cursor_location(), ado::kUseClient);
  EXPECT_TRUE(recordset.SetCursorLocation(ado::kUseServer));
  EXPECT_EQ(recordset.cursor_location(), ado::kUseServer);

  ASSERT_TRUE(Query(recordset, connection, u"select * from Mobile where num='1380013';  "));
  EXPECT_EQ(Query(recordset, connection, u"select 1").description(), u"对象打开时，不允许操作。");
  EXPECT_EQ(FieldText(recordset, u"province"),
            u"error: 在对应所需名称或序数的集合中，未找到项目。");
  EXPECT_TRUE(recordset.SetFilter(u""));
  EXPECT_FALSE(recordset.SetFilter(u"num = '1380013'"));
  EXPECT_EQ(FieldText(recordset, u"area"), u"北京");
  EXPECT_TRUE(recordset.Close());
  EXPECT_FALSE(recordset.IsOpen());
  EXPECT_TRUE(recordset.Close());
}

TEST_F(AdoTest, TableSourceReadsEveryRowOfThatTableOnly) {
  WriteProviderDb(
      db_, kPassword,
      "CREATE TABLE \"we\"\"ird\"(x TEXT); INSERT INTO \"we\"\"ird\" VALUES ('a'), ('b');"
      "CREATE TABLE Mobile(num TEXT)");
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Recordset recordset;
  ASSERT_TRUE(Query(recordset, connection, u"we\"ird", ado::kCmdTable));
  std::u16string seen;
  while (!recordset.Eof()) {
    seen += FieldText(recordset, u"x");
    ASSERT_TRUE(recordset.MoveNext());
  }
  EXPECT_EQ(seen, u"ab");
}

// ---- Values ----

struct ValueCase {
  const char* declared;  // the column's declared type; "" for none
  const char* stored;    // an SQL literal
  std::uint16_t vt;
  std::int64_t integer = 0;
  double real = 0;
  std::u16string text = {};
  std::vector<std::uint8_t> bytes = {};
};

TEST_F(AdoTest, ValuesTakeTheKindOfTheDeclaredTypeOrTheirOwn) {
  const ValueCase cases[] = {
      {"YESNO", "1", ado::kVtBool, -1},
      {"YESNO", "0", ado::kVtBool, 0},
      {"BIT", "-1", ado::kVtBool, -1},
      {"BYTE", "200", ado::kVtUI1, 200},
      {"BYTE", "300", ado::kVtI4, 300},  // too large for the type: kept as it is
      {"SHORT", "-5", ado::kVtI2, -5},
      {"SMALLINT", "40000", ado::kVtI4, 40000},
      {"LONG", "2147483647", ado::kVtI4, 2147483647},
      {"LONG", "4294967296", ado::kVtI8, 4294967296},
      {"INTEGER", "-7", ado::kVtI4, -7},
      {"SINGLE", "2.5", ado::kVtR4, 0, 2.5},
      {"SINGLE", "0.1", ado::kVtR4, 0, static_cast<double>(0.1f)},
      {"SINGLE", "1e300", ado::kVtR8, 0, 1e300},
      {"DOUBLE", "2.5", ado::kVtR8, 0, 2.5},
      {"FLOAT", "3", ado::kVtR8, 0, 3.0},
      {"CURRENCY", "12.34", ado::kVtCurrency, 123400},
      {"CURRENCY", "-5", ado::kVtCurrency, -50000},
      {"DATETIME", "'2011-05-03 14:07:09'", ado::kVtDate, 0, 40666 + 50829.0 / 86400},
      {"DATETIME", "'2011-05-03'", ado::kVtDate, 0, 40666},
      {"DATETIME", "'1899-12-29 06:00:00'", ado::kVtDate, 0, -1.25},
      {"DATETIME", "40666.5", ado::kVtDate, 0, 40666.5},
      {"DATETIME", "'2011-02-30 00:00:00'", ado::kVtBstr, 0, 0, u"2011-02-30 00:00:00"},
      {"DATETIME", "'soon'", ado::kVtBstr, 0, 0, u"soon"},
      {"TEXT", "'北京'", ado::kVtBstr, 0, 0, u"北京"},
      {"MEMO", "'备注'", ado::kVtBstr, 0, 0, u"备注"},
      {"VARCHAR(255)", "'0123'", ado::kVtBstr, 0, 0, u"0123"},
      {"MEMO", "12", ado::kVtBstr, 0, 0, u"12"},
      {"LONGBINARY", "x'0001FF'", ado::kVtArrayUI1, 0, 0, u"", {0, 1, 255}},
      {"OLEOBJECT", "x''", ado::kVtArrayUI1},
      {"LONG", "NULL", ado::kVtNull},
      {"TEXT", "NULL", ado::kVtNull},
      {"", "7", ado::kVtI4, 7},
      {"", "-5000000000", ado::kVtI8, -5000000000},
      {"", "1.5", ado::kVtR8, 0, 1.5},
      {"", "'abc'", ado::kVtBstr, 0, 0, u"abc"},
      {"", "x'01'", ado::kVtArrayUI1, 0, 0, u"", {1}},
      {"", "NULL", ado::kVtNull},
      {"UNSIGNED BIG INT", "9", ado::kVtI4, 9},
  };
  std::string columns;
  std::string values;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    columns += (i ? ", c" : "c") + std::to_string(i) + " " + cases[i].declared;
    values += (i ? ", " : "") + std::string(cases[i].stored);
  }
  WriteProviderDb(db_, kPassword,
                  "CREATE TABLE V(" + columns + "); INSERT INTO V VALUES (" + values + ");");

  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  for (std::int32_t location : {ado::kUseServer, ado::kUseClient}) {
    ado::Recordset recordset;
    ASSERT_TRUE(recordset.SetCursorLocation(location));
    ASSERT_TRUE(Query(recordset, connection, u"V", ado::kCmdTable));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const ValueCase& c = cases[i];
      SCOPED_TRACE(std::string(c.declared) + " " + c.stored);
      ado::Variant value;
      ASSERT_TRUE(recordset.Collect(Ascii("C" + std::to_string(i)), &value));
      EXPECT_EQ(value.vt, c.vt);
      EXPECT_EQ(value.integer, c.integer);
      EXPECT_NEAR(value.real, c.real, 1e-9);
      EXPECT_EQ(value.text, c.text);
      EXPECT_EQ(value.bytes, c.bytes);
    }
  }
}

TEST_F(AdoTest, ExpressionsAndViewsMapByTheirValues) {
  WriteProviderDb(db_, kPassword,
                  "CREATE TABLE T(n SHORT, s TEXT); INSERT INTO T VALUES (3, 'x');"
                  "CREATE VIEW W AS SELECT n, n * 2 AS twice, s || 'y' AS joined FROM T;");
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Recordset recordset;
  ASSERT_TRUE(Query(recordset, connection, u"select * from W"));
  ado::Variant n, twice, joined;
  ASSERT_TRUE(recordset.Collect(u"n", &n));
  ASSERT_TRUE(recordset.Collect(u"twice", &twice));
  ASSERT_TRUE(recordset.Collect(u"joined", &joined));
  EXPECT_EQ(n.vt, ado::kVtI2);  // a view column keeps its table's type
  EXPECT_EQ(twice.vt, ado::kVtI4);
  EXPECT_EQ(twice.integer, 6);
  EXPECT_EQ(joined.vt, ado::kVtBstr);
  EXPECT_EQ(joined.text, u"xy");
}

// ---- Cursors ----

class CursorTest : public AdoTest, public ::testing::WithParamInterface<std::int32_t> {
 protected:
  static constexpr int kRows = 20000;
  void SetUp() override {
    fs::create_directory(dir_ / "Source");
    WriteProviderDb(db_, kPassword,
                    "CREATE TABLE Many(n LONG, s TEXT);"
                    "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < " +
                        std::to_string(kRows) + ") INSERT INTO Many SELECT n, 'row ' || n FROM k;");
  }

  // Reads the rest of the result, checking each row; the sum of n.
  static std::int64_t ReadAll(ado::Recordset& recordset, std::int64_t* count) {
    std::int64_t sum = 0;
    while (!recordset.Eof()) {
      ado::Variant n, s;
      EXPECT_TRUE(recordset.Collect(u"n", &n));
      EXPECT_TRUE(recordset.Collect(u"s", &s));
      EXPECT_EQ(s.text, Ascii("row " + std::to_string(n.integer)));
      sum += n.integer;
      ++*count;
      EXPECT_TRUE(recordset.MoveNext());
    }
    return sum;
  }
};

TEST_P(CursorTest, MoveNextVisitsEveryRowOnce) {
  ado::Connection connection;
  ASSERT_TRUE(OpenDb(connection));
  ado::Recordset recordset;
  ASSERT_TRUE(recordset.SetCursorLocation(GetParam()));
  ASSERT_TRUE(Query(recordset, connection, u"select n, s from Many order by n"));
  std::int64_t count = 0;
  EXPECT_EQ(ReadAll(recordset, &count), std::int64_t{kRows} * (kRows + 1) / 2);
  EXPECT_EQ(count, kRows);
  EXPECT_FALSE(recordset.MoveNext());
}

TEST_P(CursorTest, ResultOutlivesItsConnection) {
  auto connection = std::make_unique<ado::Connection>();
  ASSERT_TRUE(OpenDb(*connection));
  ado::Recordset recordset;
  ASSERT_TRUE(recordset.SetCursorLocation(GetParam()));
  ASSERT_TRUE(Query(recordset, *connection, u"select n, s from Many order by n"));
  std::int64_t count = 0;
  ASSERT_TRUE(recordset.MoveNext());
  ++count;
  ASSERT_TRUE(connection->Close());
  connection.reset();
  EXPECT_EQ(ReadAll(recordset, &count), std::int64_t{kRows} * (kRows + 1) / 2 - 1);
  EXPECT_EQ(count, kRows);
}

INSTANTIATE_TEST_SUITE_P(EveryLocation, CursorTest,
                         ::testing::Values(ado::kUseNone, ado::kUseServer, ado::kUseClient));

// ---- The file is never written ----

struct FileState {
  std::string bytes;
  timespec modified{};
  std::vector<std::string> folder;

  static FileState Of(const fs::path& file) {
    FileState state;
    std::ifstream in(file, std::ios::binary);
    state.bytes.assign(std::istreambuf_iterator<char>(in), {});
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) state.modified = info.st_mtim;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
      state.folder.push_back(entry.path().filename().string());
    }
    std::sort(state.folder.begin(), state.folder.end());
    return state;
  }
  bool operator==(const FileState& other) const {
    return bytes == other.bytes && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && folder == other.folder;
  }
};

TEST_F(AdoTest, UseLeavesTheFileAndItsFolderUntouched) {
  const FileState before = FileState::Of(db_);
  ASSERT_EQ(before.folder, std::vector<std::string>{"Mobile_DB.dat"});
  {
    ado::Connection connection;
    ASSERT_TRUE(OpenDb(connection));
    for (const char16_t* sql : {u"select * from Mobile where num='1380013'", u"delete from Mobile",
                                u"insert into Mobile(num) values ('1')", u"PRAGMA user_version = 5",
                                u"CREATE TABLE x(y)", u"PRAGMA journal_mode = WAL", u"VACUUM"}) {
      for (std::int32_t location : {ado::kUseServer, ado::kUseClient}) {
        ado::Recordset recordset;
        ASSERT_TRUE(recordset.SetCursorLocation(location));
        (void)Query(recordset, connection, sql);
        EXPECT_EQ(FileState::Of(db_), before) << fs::path(sql).string();
      }
    }
  }
  EXPECT_EQ(FileState::Of(db_), before);
}

// ---- Initialisation ----

TEST(AdoInitialize, IsIdempotentAndCanFollowUninitialize) {
  EXPECT_TRUE(ado::Initialize());
  EXPECT_TRUE(ado::Initialize());
  ado::Uninitialize();
  EXPECT_TRUE(ado::Initialize());
}

}  // namespace
